; The installer of the Vornelle Screensaver. scripts/lib/package.sh builds it:
;   makensis -DVERSION=1.0.0 -DOUTFILE=setup.exe -DSTAGE=folder
;            -DSAVER64=64-bit.scr -DSAVER32=32-bit.scr vornelle.nsi
; STAGE holds what goes into the program's own folder: test.gif, readme.txt and
; licences/. An x86 program, it runs on every Windows and installs the saver
; that fits. -DTARGET=amd64-unicode builds a 64-bit one for the tests of
; machines that run no 32-bit code; it does not ship.
!ifdef TARGET
  Target ${TARGET}
!else
  Target x86-unicode
!endif
!if "${NSIS_CPU}" == "amd64"
  ; There RunningX64 is known when building, and LogicLib leaves labels unused.
  !pragma warning disable 6012
!endif
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include x64.nsh
!include WordFunc.nsh
!include FileFunc.nsh
!include MUI2.nsh

!define NAME "Vornelle Screensaver"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vornelle"
!define ACTIVE_SETUP_KEY "Software\Microsoft\Active Setup\Installed Components\Vornelle"
; The saver's settings key follows its file name, vornelle.scr.
!define CONFIG_KEY "Software\Ombrelune\vornelle\Config"
!searchreplace VERSION_COMMAS "${VERSION}" "." ","

Name "${NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${NAME}"
RequestExecutionLevel admin
ManifestDPIAware true

VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${NAME}"
VIAddVersionKey CompanyName "Ombrelune"
VIAddVersionKey FileDescription "${NAME} Setup"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey LegalCopyright "Copyright Ombrelune"

; The exit codes of a silent run, besides 0.
!define ERROR_INSTALL_FAILURE 1603
!define ERROR_PRODUCT_VERSION 1638
!define ERROR_ELEVATION_REQUIRED 740
!define ERROR_SUCCESS_REBOOT_REQUIRED 3010

!define MUI_ICON "${__FILEDIR__}/../resources/vornelle.ico"
!define MUI_UNICON "${__FILEDIR__}/../resources/vornelle.ico"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; What right-click Install does: the Screen Saver settings, ours selected.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Make ${NAME} the screen saver"
!define MUI_FINISHPAGE_RUN_FUNCTION MakeItTheScreenSaver
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; Says so when a file in use goes only at the restart.
!insertmacro MUI_UNPAGE_FINISH
!insertmacro MUI_LANGUAGE English

!macro SYSTEM_FOLDER_BEGIN
  ; Savers are listed and started from the real system folder, not SysWOW64.
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
  ${EndIf}
!macroend
!macro SYSTEM_FOLDER_END
  ${If} ${RunningX64}
    ${EnableX64FSRedirection}
  ${EndIf}
!macroend

; Installing writes to the system folder and the machine's keys.
!macro REQUIRE_ADMIN
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP "${NAME} must be installed and removed by an administrator." /SD IDOK
    SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
    Quit
  ${EndIf}
!macroend

; A saver in use (running, or loaded by the display settings' preview)
; cannot be replaced or deleted, but it can be renamed: it moves out of the
; way and goes at the next restart, which sets the reboot flag.
!macro MOVE_SAVER_ASIDE UN
Function ${UN}MoveSaverAside
  Delete "$SYSDIR\vornelle.scr"
  ${If} ${FileExists} "$SYSDIR\vornelle.scr"
    GetTempFileName $0 "$SYSDIR"
    Delete $0
    Rename "$SYSDIR\vornelle.scr" $0
    Delete /REBOOTOK $0
  ${EndIf}
FunctionEnd
!macroend
!insertmacro MOVE_SAVER_ASIDE ""
!insertmacro MOVE_SAVER_ASIDE "un."

Function .onInit
  !insertmacro REQUIRE_ADMIN
  ${If} ${RunningX64}
    SetRegView 64
    ; A 64-bit saver: its folder is not Program Files (x86), unless /D chose one.
    ${If} $INSTDIR == "$PROGRAMFILES\${NAME}"
      StrCpy $INSTDIR "$PROGRAMFILES64\${NAME}"
    ${EndIf}
  ${EndIf}
  ; An update goes where the last install went.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" InstallLocation
  ${If} $0 != ""
  ${AndIf} $INSTDIR == "$PROGRAMFILES64\${NAME}"
    StrCpy $INSTDIR $0
  ${EndIf}
  ; The same version again repairs; an older one would take features away.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" DisplayVersion
  ${If} $0 != ""
    ${VersionCompare} $0 "${VERSION}" $1
    ${If} $1 == 1
      MessageBox MB_ICONSTOP "${NAME} $0 is installed, a newer version than this one \
        (${VERSION}).$\n$\nTo go back to ${VERSION}, remove $0 first." /SD IDOK
      SetErrorLevel ${ERROR_PRODUCT_VERSION}
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function .onInstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
  ${EndIf}
FunctionEnd

Function MakeItTheScreenSaver
  ; The 64-bit rundll32 on 64-bit Windows: the 32-bit one would look for the
  ; saver in SysWOW64.
  !insertmacro SYSTEM_FOLDER_BEGIN
  Exec '"$SYSDIR\rundll32.exe" desk.cpl,InstallScreenSaver $SYSDIR\vornelle.scr'
  !insertmacro SYSTEM_FOLDER_END
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File "${STAGE}/test.gif"
  File "${STAGE}/readme.txt"
  SetOutPath "$INSTDIR\licences"
  File "${STAGE}/licences/zlib.txt"
  File "${STAGE}/licences/libpng.txt"
  File "${STAGE}/licences/libjpeg-turbo.txt"
  File "${STAGE}/licences/libjpeg-ijg.txt"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  !insertmacro SYSTEM_FOLDER_BEGIN
  Call MoveSaverAside
  ; Never report success with another saver left in place.
  ClearErrors
  SetOverwrite try
  ${If} ${RunningX64}
    File "/oname=$SYSDIR\vornelle.scr" "${SAVER64}"
  ${Else}
    File "/oname=$SYSDIR\vornelle.scr" "${SAVER32}"
  ${EndIf}
  SetOverwrite on
  ${If} ${Errors}
    !insertmacro SYSTEM_FOLDER_END
    MessageBox MB_ICONSTOP "$SYSDIR\vornelle.scr could not be replaced." /SD IDOK
    SetErrorLevel ${ERROR_INSTALL_FAILURE}
    Abort
  ${EndIf}
  !insertmacro SYSTEM_FOLDER_END

  ; The saver looks for its default picture in the folder it runs in, the
  ; system folder: point every user who has not chosen one at ours. The
  ; installing user now, everyone else at their next logon.
  ClearErrors
  ReadRegStr $0 HKCU "${CONFIG_KEY}" Picture
  ${If} ${Errors}
    WriteRegStr HKCU "${CONFIG_KEY}" Picture "$INSTDIR\test.gif"
  ${EndIf}
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "" "${NAME}"
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" Version "${VERSION_COMMAS}"
  WriteRegDWORD HKLM "${ACTIVE_SETUP_KEY}" IsInstalled 1
  ; "if errorlevel", not "||": Wine's cmd runs what follows "||" whatever the
  ; exit code of a program before it.
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" StubPath \
    'cmd /c reg query "HKCU\${CONFIG_KEY}" /v Picture >nul 2>&1 & if errorlevel 1 reg add "HKCU\${CONFIG_KEY}" /v Picture /t REG_SZ /d "$INSTDIR\test.gif" /f >nul'
  WriteRegStr HKCU "${ACTIVE_SETUP_KEY}" Version "${VERSION_COMMAS}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" Publisher "Ombrelune"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayIcon "$SYSDIR\vornelle.scr"
  WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoRepair 1
  SectionGetSize 0 $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" EstimatedSize $0
SectionEnd

Function un.onInit
  !insertmacro REQUIRE_ADMIN
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Function un.onUninstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
  ${EndIf}
FunctionEnd

; Users' settings stay, as other programs leave theirs; only the uninstalling
; user's choice of screen saver goes when it is ours, as choosing (None) does.
Section Uninstall
  !insertmacro SYSTEM_FOLDER_BEGIN
  ; The setting may give a short or long name, in any case, with or without a
  ; folder: compared as the full short paths of the files, while ours is there.
  ReadRegStr $0 HKCU "Control Panel\Desktop" SCRNSAVE.EXE
  StrCpy $2 ""
  ${If} $0 != ""
    ${GetFileName} $0 $1
    ${If} $1 == $0
      StrCpy $0 "$SYSDIR\$0"
    ${EndIf}
    GetFullPathName /SHORT $1 $0
    GetFullPathName /SHORT $2 "$SYSDIR\vornelle.scr"
    ${If} $1 != ""
    ${AndIf} $1 == $2
      DeleteRegValue HKCU "Control Panel\Desktop" SCRNSAVE.EXE
    ${EndIf}
  ${EndIf}
  Call un.MoveSaverAside
  !insertmacro SYSTEM_FOLDER_END
  Delete "$INSTDIR\licences\zlib.txt"
  Delete "$INSTDIR\licences\libpng.txt"
  Delete "$INSTDIR\licences\libjpeg-turbo.txt"
  Delete "$INSTDIR\licences\libjpeg-ijg.txt"
  RMDir "$INSTDIR\licences"
  Delete "$INSTDIR\test.gif"
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${ACTIVE_SETUP_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
