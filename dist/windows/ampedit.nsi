; SPDX-License-Identifier: MIT
; The Windows installer of ampedit: a per-user install (no administrator rights)
; into %LOCALAPPDATA%\Programs\ampedit, a Start menu entry, ".amp" maps opened by
; a double-click, and an uninstaller that removes only what was installed: the
; user's maps and settings stay.
; scripts/package-windows runs it:
;   makensis -DVERSION=... -DSTAGE=<installed tree> -DFILES=<files.nsh> -DICON=<.ico> -DOUT=<setup.exe> ampedit.nsi
; files.nsh lists the installed files and folders (INSTALL_FILES / REMOVE_FILES).
Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "${FILES}"

!define APP "ampedit"
!define PROGID "ampedit.map"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ampedit"

Name "ampedit ${VERSION}"
OutFile "${OUT}"
InstallDir "$LOCALAPPDATA\Programs\ampedit"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "ampedit ${VERSION}"
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "ampedit"
VIAddVersionKey "FileDescription" "ampedit ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\bin\ampedit.exe"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
    SetShellVarContext current
FunctionEnd

Function un.onInit
    SetShellVarContext current
FunctionEnd

Section "ampedit and amptool" SecProgram
    SectionIn RO
    !insertmacro INSTALL_FILES
    WriteUninstaller "$INSTDIR\uninstall.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "ampedit ${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "ampedit developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\bin\ampedit.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Start menu entry" SecStartMenu
    CreateShortCut "$SMPROGRAMS\ampedit.lnk" "$INSTDIR\bin\ampedit.exe" "" "$INSTDIR\bin\ampedit.exe" 0
SectionEnd

Section "Open .amp maps with ampedit" SecAssociate
    WriteRegStr HKCU "Software\Classes\.amp" "" "${PROGID}"
    WriteRegStr HKCU "Software\Classes\${PROGID}" "" "Veldrock map"
    WriteRegStr HKCU "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\bin\ampedit.exe,0"
    WriteRegStr HKCU "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\bin\ampedit.exe" "%1"'
    WriteRegStr HKCU "Software\Classes\Applications\ampedit.exe\SupportedTypes" ".amp" ""
    ; Tell the file manager that file types changed (SHCNE_ASSOCCHANGED).
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
    !insertmacro REMOVE_FILES
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\ampedit.lnk"
    ; The association goes only while it is still ours.
    ReadRegStr $0 HKCU "Software\Classes\.amp" ""
    ${If} $0 == "${PROGID}"
        DeleteRegKey HKCU "Software\Classes\.amp"
    ${EndIf}
    DeleteRegKey HKCU "Software\Classes\${PROGID}"
    DeleteRegKey HKCU "Software\Classes\Applications\ampedit.exe"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
