; What the installer (vornelle.nsi) and the uninstaller (uninstall.nsi) share:
; names, keys, exit codes, the system folder and the administrator check.
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
!include FileFunc.nsh
!include MUI2.nsh

!define NAME "Vornelle Screensaver"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vornelle"
!define ACTIVE_SETUP_KEY "Software\Microsoft\Active Setup\Installed Components\Vornelle"
; The saver's settings key follows its file name, vornelle.scr.
!define CONFIG_KEY "Software\Ombrelune\vornelle\Config"

RequestExecutionLevel admin
ManifestDPIAware true

VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${NAME}"
VIAddVersionKey CompanyName "Ombrelune"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey LegalCopyright "Copyright (c) 2026 Ombrelune"

; The exit codes of a silent run, besides 0.
!define ERROR_INSTALL_FAILURE 1603
!define ERROR_PRODUCT_VERSION 1638
!define ERROR_ELEVATION_REQUIRED 740
!define ERROR_SUCCESS_REBOOT_REQUIRED 3010

!define MUI_ICON "${__FILEDIR__}/../resources/vornelle.ico"

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

!macro REBOOT_EXIT_CODE
  ${If} ${RebootFlag}
    SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
  ${EndIf}
!macroend
