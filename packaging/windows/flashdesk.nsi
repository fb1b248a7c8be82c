; FlashDesk's Windows installer: a per-user install that needs no administrator.
; makensis /DVERSION=1.0 /DFILEVERSION=1.0.0.0 /DBIN=<folder of the .exe files>
;          /DREADME=<README.txt> /DICON=<flashdesk.ico> /DOUT=<setup.exe> flashdesk.nsi
; (tools/build-windows.sh passes them.)

!macro Needs NAME
  !ifndef ${NAME}
    !error "${NAME} must be defined: makensis /D${NAME}=..."
  !endif
!macroend
!insertmacro Needs VERSION
!insertmacro Needs FILEVERSION
!insertmacro Needs BIN
!insertmacro Needs README
!insertmacro Needs ICON
!insertmacro Needs OUT

; The programs are 64-bit; a 64-bit installer also runs where no 32-bit layer is installed.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel user

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\FlashDesk"

Name "FlashDesk"
OutFile "${OUT}"
InstallDir "$LOCALAPPDATA\Programs\FlashDesk"
; A reinstall goes where the last install went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "FlashDesk ${VERSION}"

VIProductVersion "${FILEVERSION}"
VIFileVersion "${FILEVERSION}"
VIAddVersionKey "ProductName" "FlashDesk"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "FlashDesk ${VERSION} setup"
VIAddVersionKey "CompanyName" "TARN-System"
VIAddVersionKey "LegalCopyright" "TARN-System"

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\flashdesk.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Run FlashDesk"

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

Section "FlashDesk"
  SetOutPath "$INSTDIR"
  File "${BIN}/flashdesk.exe"
  File "${BIN}/flashdesk-cli.exe"
  File "${README}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; Started from the menu, the window works in the user's own folder and lists the firmware of
  ; its syx folder, as on Linux; a shortcut starts where the out path stands.
  SetOutPath "$PROFILE"
  CreateShortcut "$SMPROGRAMS\FlashDesk.lnk" "$INSTDIR\flashdesk.exe" "" "$INSTDIR\flashdesk.exe" 0
  SetOutPath "$INSTDIR"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "FlashDesk"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "TARN-System"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\flashdesk.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as "Apps & features" shows it; what is on disk, the uninstaller included.
  ${GetSize} "$INSTDIR" "/S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Only what the installer put there: the settings (HKCU\SOFTWARE\TARN-System) and the
; upload history ($LOCALAPPDATA\FlashDesk) stay for the next install.
Section "Uninstall"
  Delete "$INSTDIR\flashdesk.exe"
  Delete "$INSTDIR\flashdesk-cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\FlashDesk.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Not /r: the folder may be one the user chose that holds files of their own.
  RMDir "$INSTDIR"
SectionEnd
