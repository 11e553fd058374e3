#include "QtAbout.h"

#include <memory>
#include <string>

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QString>
#include <QStringList>

#include "FormDefinition.h"
#include "IdentityFiles.h"
#include "ProgramIdentity.h"
#include "QtFormWindow.h"
#include "QtText.h"
#include "QtToolkit.h"
#include "ResourceImages.h"
#include "frmAbout.h"

namespace halvarin {

namespace {

// The About box is laid out for the classic dialog font. Where it is missing,
// these are the stand-ins: fonts of its width first, the wide default
// sans-serif fonts of Linux desktops last. The window takes, of those
// installed, the one in which its texts fit their fixed boxes at the largest
// size (line spacing matters as much as width), and steps down from there.
void SubstituteDialogFont() {
  static bool done = false;
  if (done) {
    return;
  }
  done = true;
  QStringList substitutes;
  for (const std::string& family : FontSubstitutes("MS Sans Serif")) {
    substitutes << ToQString(family);
  }
  QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), substitutes);
}

}  // namespace

void ApplyProgramIdentity() {
  QApplication::setApplicationName(ToQString(ProgramIdentity::Title));
  QApplication::setApplicationVersion(ToQString(VersionNumbers()));
  // Lets Wayland compositors and task bars match the windows to the
  // installed desktop entry (and so to its icon).
  QGuiApplication::setDesktopFileName(ToQString(ProgramIdentity::AppId));
  const QIcon icon(QString::fromLatin1(resources::kProgramIconPath));
  if (!icon.isNull()) {
    QApplication::setWindowIcon(icon);
  }
}

void RegisterAboutWindow(QtToolkit& toolkit, Registry& registry) {
  SubstituteDialogFont();
  toolkit.RegisterWindow(frmAbout::FormName, [&registry](QtToolkit& tk) {
    auto form = std::make_unique<frmAbout>(tk, registry);
    auto window = std::make_unique<QtFormWindow>(tk, frmAbout::Definition(), form.get());
    window->AdoptEvents(std::move(form));
    return window;
  });
}

}  // namespace halvarin
