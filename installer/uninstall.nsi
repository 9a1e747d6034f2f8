; The uninstaller, uninstall.exe in the program's folder. scripts/lib/package.sh
; builds it before the installer, which carries it:
;   makensis -DVERSION=1.0.0 -DOUTFILE=uninstall.exe uninstall.nsi
; An installer-type program rather than NSIS's own uninstaller: that one
; hands the work to a copy of itself and returns at once, so whoever ran it
; (Apps, a package manager, a script) could neither wait for the end nor read
; its exit code. This one hands the work to a copy too, but waits for it and
; ends with its exit code. A running uninstall.exe can be neither deleted nor
; renamed (NSIS keeps its own file open), so the copy, started once more as
; this one ends, removes it and the folder a moment later.
!include "${__FILEDIR__}/common.nsh"

Name "${NAME}"
Caption "${NAME} Uninstall"
OutFile "${OUTFILE}"
VIAddVersionKey FileDescription "${NAME} Uninstall"
InstallButtonText "Uninstall"
ShowInstDetails show

!define MUI_WELCOMEPAGE_TITLE "Uninstall ${NAME}"
!define MUI_WELCOMEPAGE_TEXT "This removes ${NAME} from this computer: the screen saver in \
  the system folder, and the picture, the read-me and the licences in $INSTDIR.$\r$\n$\r$\n\
  The users' settings stay.$\r$\n$\r$\nClick Uninstall to go on."
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_HEADER_TEXT "Uninstalling"
!define MUI_PAGE_HEADER_SUBTEXT "Please wait while ${NAME} is being uninstalled."
!define MUI_INSTFILESPAGE_FINISHHEADER_TEXT "Uninstallation Complete"
!define MUI_INSTFILESPAGE_FINISHHEADER_SUBTEXT "Uninstall was completed successfully."
!define MUI_INSTFILESPAGE_ABORTHEADER_TEXT "Uninstallation Aborted"
!define MUI_INSTFILESPAGE_ABORTHEADER_SUBTEXT "Uninstall was not completed successfully."
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Completing ${NAME} Uninstall"
!define MUI_FINISHPAGE_TEXT "${NAME} has been uninstalled from this computer."
!define MUI_FINISHPAGE_TEXT_REBOOT "The screen saver was in use: it goes when the computer \
  restarts."
; Said when a saver in use goes only at the restart, which is the user's to choose.
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_LANGUAGE English

Function .onInit
  !insertmacro REQUIRE_ADMIN
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/CLEANUP" $1
  ${IfNot} ${Errors}
    ; uninstall.exe goes as soon as it has ended; this copy at the restart.
    ${For} $1 1 100
      Delete "$INSTDIR\uninstall.exe"
      ${IfNot} ${FileExists} "$INSTDIR\uninstall.exe"
        ${Break}
      ${EndIf}
      Sleep 100
    ${Next}
    RMDir "$INSTDIR"
    Delete /REBOOTOK "$EXEPATH"
    Quit
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/COPY" $1
  ${If} ${Errors}
    ; Started as uninstall.exe: the copy does the work, here the wait.
    GetTempFileName $2
    Delete $2
    StrCpy $2 "$2.exe"
    CopyFiles /SILENT "$EXEPATH" $2
    StrCpy $1 ""
    ${If} ${Silent}
      StrCpy $1 "/S "
    ${EndIf}
    ClearErrors
    ExecWait '"$2" /COPY $1/D=$EXEDIR' $0
    ${If} ${Errors}
      MessageBox MB_ICONSTOP "The uninstaller could not start." /SD IDOK
      Delete $2
      SetErrorLevel 2
      Quit
    ${EndIf}
    Exec '"$2" /CLEANUP /D=$EXEDIR'
    SetErrorLevel $0
    Quit
  ${EndIf}
FunctionEnd

Function .onInstSuccess
  !insertmacro REBOOT_EXIT_CODE
FunctionEnd

; A saver in use (running, or loaded by the display settings' preview) cannot
; be deleted, but it can be renamed: it moves out of the way and goes at the
; next restart, which sets the reboot flag.
Function MoveSaverAside
  Delete "$SYSDIR\vornelle.scr"
  ${If} ${FileExists} "$SYSDIR\vornelle.scr"
    GetTempFileName $0 "$SYSDIR"
    Delete $0
    Rename "$SYSDIR\vornelle.scr" $0
    Delete /REBOOTOK $0
  ${EndIf}
FunctionEnd

; Users' settings stay, as other programs leave theirs; only the uninstalling
; user's choice of screen saver goes when it is ours, as choosing (None) does.
Section
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
  Call MoveSaverAside
  !insertmacro SYSTEM_FOLDER_END
  Delete "$INSTDIR\licences\vornelle.txt"
  Delete "$INSTDIR\licences\zlib.txt"
  Delete "$INSTDIR\licences\libpng.txt"
  Delete "$INSTDIR\licences\libjpeg-turbo.txt"
  Delete "$INSTDIR\licences\libjpeg-ijg.txt"
  RMDir "$INSTDIR\licences"
  Delete "$INSTDIR\test.gif"
  Delete "$INSTDIR\readme.txt"
  DeleteRegKey HKLM "${ACTIVE_SETUP_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
