; The Windows installer of pixelTuck, made by scripts/windows-package.sh:
;   makensis -DVERSION=1.2.1 -DSTAGE=<folder of the files> -DICON=<pixeltuck.ico>
;            -DOUTFILE=<setup.exe> pixeltuck.nsi
; It installs both programs into Program Files, adds a Start menu entry for
; the window program and an uninstaller that Add/Remove Programs lists. The
; uninstaller removes exactly what was installed, the settings file the
; installed program wrote for the user who runs it, and the folders when they
; are empty. /S installs or uninstalls silently; /D=<folder> (last on the
; command line) chooses another folder.

!ifndef VERSION
  !error "define VERSION, STAGE, ICON and OUTFILE (see scripts/windows-package.sh)"
!endif
!ifndef STAGE
  !error "define VERSION, STAGE, ICON and OUTFILE (see scripts/windows-package.sh)"
!endif
!ifndef OUTFILE
  !error "define VERSION, STAGE, ICON and OUTFILE (see scripts/windows-package.sh)"
!endif
!ifndef ICON
  !error "define VERSION, STAGE, ICON and OUTFILE (see scripts/windows-package.sh)"
!endif

Unicode true
Target amd64-unicode  ; the programs are 64-bit; so is the installer
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!define PRODUCT "pixelTuck"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\pixelTuck"
!define SHORTCUT "$SMPROGRAMS\pixelTuck.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; An update goes where the last installation went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 The pixelTuck authors. MIT License."

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define MUI_ABORTWARNING
; The program's own icon for the setup and the uninstaller.
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\pixeltuck.exe"
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "pixelTuck"
  ; The shortcut goes to every user's Start menu, as the programs are there
  ; for every user.
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}\pixeltuck.exe"
  File "${STAGE}\pixeltuck-cli.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "${SHORTCUT}" "$INSTDIR\pixeltuck.exe" "" "$INSTDIR\pixeltuck.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The pixelTuck authors"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\pixeltuck.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "${SHORTCUT}"
  Delete "$INSTDIR\pixeltuck.exe"
  Delete "$INSTDIR\pixeltuck-cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  ; Written beside the program when its folder was writable (an elevated
  ; run, or a folder of the user's own), else a preset an administrator put
  ; there.
  Delete "$INSTDIR\pixeltuck.cfg"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: nothing the user put there is removed.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; The settings the installed program keeps for the user who runs this.
  SetShellVarContext current
  Delete "$APPDATA\pixeltuck\pixeltuck.cfg"
  RMDir "$APPDATA\pixeltuck"
SectionEnd
