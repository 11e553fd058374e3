#pragma once

// Where Halvarin's pictures live in the Qt resource system. Linking the
// halvarin_resources library is all it takes to make these paths load: the
// resource data arrives as an object file with a static initialiser, so no
// Q_INIT_RESOURCE call is needed.

namespace halvarin::resources {

// The list images in ImageList1 order: 1 generic, 2 animations and demos,
// 3 sounds and music, 4 artwork, 5 maps.
inline constexpr int kEntryImageCount = 5;

// ":/images/entry<index>.png" for index 1 to 5. Any other index gives the
// generic image 1, which is what the list shows for an unknown kind too.
const char* EntryImagePath(int index);

// The program icon, 32x32 with an alpha channel: window icons and the
// hicolor theme.
inline constexpr char kProgramIconPath[] = ":/images/halvarin.png";

// The icon's colour part as a 24-bit picture without alpha, flattened on
// the dialog face grey (240, 240, 240): what the About box shows.
inline constexpr char kAboutPicturePath[] = ":/images/halvarin-about.png";

}  // namespace halvarin::resources
