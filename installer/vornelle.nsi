; The installer of the Vornelle Screensaver. scripts/lib/package.sh builds it:
;   makensis -DVERSION=1.0.0 -DOUTFILE=setup.exe -DSTAGE=folder
;            -DSAVER64=64-bit.scr -DSAVER32=32-bit.scr vornelle.nsi
; STAGE holds what goes into the program's own folder: test.gif, readme.txt and
; licences/. An x86 program, it runs on every Windows and installs the saver
; that fits.
Target x86-unicode
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include x64.nsh
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

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
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

Function .onInit
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
  ${If} ${RunningX64}
    File "/oname=$SYSDIR\vornelle.scr" "${SAVER64}"
  ${Else}
    File "/oname=$SYSDIR\vornelle.scr" "${SAVER32}"
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
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

; Users' settings stay, as other programs leave theirs.
Section Uninstall
  !insertmacro SYSTEM_FOLDER_BEGIN
  Delete /REBOOTOK "$SYSDIR\vornelle.scr"
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
