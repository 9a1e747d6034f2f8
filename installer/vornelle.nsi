; The installer of the Vornelle Screensaver. scripts/lib/package.sh builds it:
;   makensis -DVERSION=1.0.0 -DOUTFILE=setup.exe -DSTAGE=folder -DUNINSTALLER=uninstall.exe
;            -DSAVER64=64-bit.scr -DSAVER32=32-bit.scr vornelle.nsi
; STAGE holds what goes into the program's own folder: test.gif, readme.txt
; and licences/; UNINSTALLER is built from uninstall.nsi. An x86 program, it
; runs on every Windows and installs the saver that fits. -DTARGET=amd64-unicode
; builds a 64-bit one for the tests of machines that run no 32-bit code; it
; does not ship.
!include "${__FILEDIR__}/common.nsh"
!include WordFunc.nsh

!searchreplace VERSION_COMMAS "${VERSION}" "." ","

Name "${NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${NAME}"
VIAddVersionKey FileDescription "${NAME} Setup"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; What right-click Install does: the Screen Saver settings, ours selected.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Make ${NAME} the screen saver"
!define MUI_FINISHPAGE_RUN_FUNCTION MakeItTheScreenSaver
; An old saver in use goes at the next restart, which is the user's to choose.
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_LANGUAGE English

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
  !insertmacro REBOOT_EXIT_CODE
FunctionEnd

Function MakeItTheScreenSaver
  ; The 64-bit rundll32 on 64-bit Windows: the 32-bit one would look for the
  ; saver in SysWOW64.
  !insertmacro SYSTEM_FOLDER_BEGIN
  Exec '"$SYSDIR\rundll32.exe" desk.cpl,InstallScreenSaver $SYSDIR\vornelle.scr'
  !insertmacro SYSTEM_FOLDER_END
FunctionEnd

; Never a moment without a working saver: the new one is written whole under
; a name of its own, and only then does the old one move aside (a saver in use
; can be renamed, not deleted) and the new one take its name. Any failure on
; the way puts back what was there. Pushes 1 when the new saver is in place.
Function InstallSaver
  StrCpy $R0 "$SYSDIR\vornelle.scr"
  StrCpy $R1 "$SYSDIR\vornelle.scr.new"
  StrCpy $R2 ""
  Delete $R1
  ClearErrors
  SetOverwrite try
  ${If} ${RunningX64}
    File "/oname=$R1" "${SAVER64}"
  ${Else}
    File "/oname=$R1" "${SAVER32}"
  ${EndIf}
  SetOverwrite on
  IfErrors failed
  ${If} ${FileExists} $R0
    GetTempFileName $R2 $SYSDIR
    Delete $R2
    ClearErrors
    Rename $R0 $R2
    IfErrors failed
  ${EndIf}
  ClearErrors
  Rename $R1 $R0
  ${If} ${Errors}
    ${If} $R2 != ""
      Rename $R2 $R0
    ${EndIf}
    Goto failed
  ${EndIf}
  ; The old saver goes now, or at the restart while it runs.
  ${If} $R2 != ""
    Delete /REBOOTOK $R2
  ${EndIf}
  Push 1
  Return
failed:
  Delete $R1
  Push 0
FunctionEnd

; What Apps and Features shows as the size: the files this install wrote, each
; rounded up to whole KiB. SectionGetSize would count only the section's own
; File lines, not the saver that InstallSaver writes.
Var InstalledKiB

; Adds the size of the file named on the stack.
Function CountInstalledFile
  Exch $0
  Push $1
  FileOpen $1 $0 r
  ${If} $1 != ""
    FileSeek $1 0 END $0
    FileClose $1
    IntOp $0 $0 + 1023
    IntOp $0 $0 / 1024
    IntOp $InstalledKiB $InstalledKiB + $0
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

!macro INSTALL_FILE FOLDER NAME
  File "${FOLDER}/${NAME}"
  Push "$OUTDIR\${NAME}"
  Call CountInstalledFile
!macroend

Section
  ; The saver first: when it cannot be installed, nothing else was written.
  !insertmacro SYSTEM_FOLDER_BEGIN
  Call InstallSaver
  Pop $0
  !insertmacro SYSTEM_FOLDER_END
  ${If} $0 != 1
    MessageBox MB_ICONSTOP "$SYSDIR\vornelle.scr could not be replaced." /SD IDOK
    SetErrorLevel ${ERROR_INSTALL_FAILURE}
    Abort
  ${EndIf}

  ; Then the uninstaller and its entry, so that whatever stops the install
  ; from here on leaves what it wrote removable.
  SetOutPath "$INSTDIR"
  File "/oname=uninstall.exe" "${UNINSTALLER}"
  StrCpy $InstalledKiB 0
  Push "$INSTDIR\uninstall.exe"
  Call CountInstalledFile
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" Publisher "Ombrelune"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayIcon "$SYSDIR\vornelle.scr"
  WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoRepair 1

  !insertmacro INSTALL_FILE "${STAGE}" test.gif
  !insertmacro INSTALL_FILE "${STAGE}" readme.txt
  SetOutPath "$INSTDIR\licences"
  !insertmacro INSTALL_FILE "${STAGE}/licences" vornelle.txt
  !insertmacro INSTALL_FILE "${STAGE}/licences" zlib.txt
  !insertmacro INSTALL_FILE "${STAGE}/licences" libpng.txt
  !insertmacro INSTALL_FILE "${STAGE}/licences" libjpeg-turbo.txt
  !insertmacro INSTALL_FILE "${STAGE}/licences" libjpeg-ijg.txt
  SetOutPath "$INSTDIR"
  !insertmacro SYSTEM_FOLDER_BEGIN
  Push "$SYSDIR\vornelle.scr"
  Call CountInstalledFile
  !insertmacro SYSTEM_FOLDER_END
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" EstimatedSize $InstalledKiB

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
SectionEnd
