# Generated from ui/about/ProgramIdentity.h by halvarin_identity_files; do not edit.
set(HALVARIN_IDENTITY_VERSION "1.0.0")
set(HALVARIN_PACKAGE_NAME "halvarin")
set(HALVARIN_PACKAGE_SECTION "utils")
set(HALVARIN_PACKAGE_MAINTAINER "The Halvarin developers <halvarin@example.org>")
set(HALVARIN_PACKAGE_DESCRIPTION "Edit Varn GRP group archives\nHalvarin opens a Varn GRP group archive, the single file in which the\ngame Varn keeps its art, maps, sounds, music and recorded demos, and\nshows the entries as icons. Add files through a dialog or by dropping\nthem on the list, delete and extract entries, and save the archive under\nits own name or a new one. Unsaved edits are never discarded without\nasking.\n\nThe command-line program halvarin-grp lists, checks, extracts, creates\nand edits archives in scripts and on machines without a display.")
