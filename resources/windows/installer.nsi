; The Windows installer, compiled by makensis in the mingw-w64 build
; (Packaging.cmake beside this file) with
;   -DHALVARIN_STAGE=<folder of the files to install>
;   -DHALVARIN_OUTFILE=<halvarin-VERSION-win64-setup.exe> -DHALVARIN_ICON=<halvarin.ico>
; Installs per machine (Program Files, HKLM; administrators, after the
; elevation prompt) or per user (%LOCALAPPDATA%\Programs, HKCU; no rights
; needed). Silent: /S, with /AllUsers or /CurrentUser to choose and
; /D=FOLDER last; the uninstaller takes the same switches, and the Uninstall
; entry names them.

Unicode true
Target amd64-unicode
!include "identity.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${HALVARIN_TITLE}"
!define CLASSES "Software\Classes"
!define APPLICATION "${CLASSES}\Applications\${HALVARIN_PROGRAM}"
; What Explorer runs to open an archive: the installed program with the file.
!define OPEN_COMMAND '"$INSTDIR\${HALVARIN_PROGRAM}" "%1"'

; Highest: administrators are asked to elevate and may choose either mode,
; other users install for themselves. An earlier installation's mode and
; folder (the Uninstall entry's InstallLocation) are the defaults, so an
; upgrade lands on it and keeps one entry.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${HALVARIN_TITLE}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME InstallLocation
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME InstallLocation
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh

Name "${HALVARIN_TITLE}"
OutFile "${HALVARIN_OUTFILE}"
BrandingText "${HALVARIN_TITLE} ${HALVARIN_VERSION}"
SetCompressor /SOLID lzma
ManifestDPIAware true

VIProductVersion "${HALVARIN_VERSION_QUAD}"
VIAddVersionKey ProductName "${HALVARIN_TITLE}"
VIAddVersionKey ProductVersion "${HALVARIN_VERSION}"
VIAddVersionKey FileVersion "${HALVARIN_VERSION}"
VIAddVersionKey FileDescription "${HALVARIN_TITLE} ${HALVARIN_VERSION} Setup"
VIAddVersionKey CompanyName "${HALVARIN_PUBLISHER}"
VIAddVersionKey LegalCopyright "${HALVARIN_COPYRIGHT}"

!define MUI_ICON "${HALVARIN_ICON}"
!define MUI_UNICON "${HALVARIN_ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TITLE "Welcome to ${HALVARIN_TITLE} ${HALVARIN_VERSION} Setup"
!define MUI_WELCOMEPAGE_TEXT "Setup will install ${HALVARIN_TITLE}, the editor for \
  ${HALVARIN_TYPE_NAME}s, and its command-line program halvarin-grp.$\r$\n$\r$\n\
  Archives (${HALVARIN_EXTENSION} files) will open in ${HALVARIN_TITLE} when you double-click \
  them. If another program already opens them, it stays their program and \
  ${HALVARIN_TITLE} is offered under Open with.$\r$\n$\r$\n\
  Click Next to continue."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

; The installed files, named once for installing and removing them.
!macro HalvarinFiles Action
  !insertmacro ${Action} "${HALVARIN_PROGRAM}"
  !insertmacro ${Action} "halvarin-grp.exe"
  !insertmacro ${Action} "sample.grp"
  !insertmacro ${Action} "README.txt"
  !insertmacro ${Action} "LICENSE.txt"
!macroend
!macro InstallFile Name
  File "${HALVARIN_STAGE}\${Name}"
!macroend
!macro RemoveFile Name
  Delete "$INSTDIR\${Name}"
!macroend

!macro AssociationsChanged
  System::Call "shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)" ; SHCNE_ASSOCCHANGED
!macroend

Var GivenFolder

Function .onInit
  ; A folder given with /D wins over the mode's own.
  StrCpy $GivenFolder $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${If} $GivenFolder != ""
    StrCpy $INSTDIR $GivenFolder
  ${EndIf}
FunctionEnd

Function un.onInit
  ; The uninstaller removes the folder it was started from, whatever the
  ; registry says.
  StrCpy $GivenFolder $INSTDIR
  !insertmacro MULTIUSER_UNINIT
  StrCpy $INSTDIR $GivenFolder
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  !insertmacro HalvarinFiles InstallFile
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${HALVARIN_TITLE}.lnk" "$INSTDIR\${HALVARIN_PROGRAM}"

  ; The archive type under a ProgID of our own, offered for the extension.
  WriteRegStr SHCTX "${CLASSES}\${HALVARIN_PROGID}" "" "${HALVARIN_TYPE_NAME}"
  WriteRegStr SHCTX "${CLASSES}\${HALVARIN_PROGID}\DefaultIcon" "" "$INSTDIR\${HALVARIN_PROGRAM},0"
  WriteRegStr SHCTX "${CLASSES}\${HALVARIN_PROGID}\shell\open\command" "" '${OPEN_COMMAND}'
  WriteRegNone SHCTX "${CLASSES}\${HALVARIN_EXTENSION}\OpenWithProgids" "${HALVARIN_PROGID}"
  ; The default only where no other program has the extension, for this
  ; user or for the machine.
  ReadRegStr $0 HKCU "${CLASSES}\${HALVARIN_EXTENSION}" ""
  ReadRegStr $1 HKLM "${CLASSES}\${HALVARIN_EXTENSION}" ""
  ${If} $0 == "${HALVARIN_PROGID}"
    StrCpy $0 ""
  ${EndIf}
  ${If} $1 == "${HALVARIN_PROGID}"
    StrCpy $1 ""
  ${EndIf}
  ${If} "$0$1" == ""
    WriteRegStr SHCTX "${CLASSES}\${HALVARIN_EXTENSION}" "" "${HALVARIN_PROGID}"
  ${EndIf}
  ; Open with: the program by name, whatever type a file has.
  WriteRegStr SHCTX "${APPLICATION}" "FriendlyAppName" "${HALVARIN_TITLE}"
  WriteRegStr SHCTX "${APPLICATION}\SupportedTypes" "${HALVARIN_EXTENSION}" ""
  WriteRegStr SHCTX "${APPLICATION}\shell\open\command" "" '${OPEN_COMMAND}'

  ; Apps & Features, under a name without the version: an upgrade replaces it.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${HALVARIN_TITLE}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${HALVARIN_VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${HALVARIN_PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${HALVARIN_PROGRAM},0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" \
    '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" \
    '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  SectionGetSize 0 $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  !insertmacro AssociationsChanged
SectionEnd

; Removes what the installer made, and nothing else: the folder goes only
; when no file of the user's is left in it, and the extension's key keeps
; whatever other programs wrote there.
Section Uninstall
  !insertmacro HalvarinFiles RemoveFile
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${HALVARIN_TITLE}.lnk"

  DeleteRegKey SHCTX "${CLASSES}\${HALVARIN_PROGID}"
  DeleteRegKey SHCTX "${APPLICATION}"
  DeleteRegValue SHCTX "${CLASSES}\${HALVARIN_EXTENSION}\OpenWithProgids" "${HALVARIN_PROGID}"
  DeleteRegKey /ifempty SHCTX "${CLASSES}\${HALVARIN_EXTENSION}\OpenWithProgids"
  ReadRegStr $0 SHCTX "${CLASSES}\${HALVARIN_EXTENSION}" ""
  ${If} $0 == "${HALVARIN_PROGID}"
    DeleteRegValue SHCTX "${CLASSES}\${HALVARIN_EXTENSION}" ""
  ${EndIf}
  DeleteRegKey /ifempty SHCTX "${CLASSES}\${HALVARIN_EXTENSION}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  !insertmacro AssociationsChanged
SectionEnd
