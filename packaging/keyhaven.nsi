; Keyhaven's installer: per user, no administrator rights, into the user's own programs
; folder. scripts/package.sh stages the files and passes:
;   KH_VERSION  the program's version (a.b.c)
;   KH_STAGE    the staged program folder
;   KH_FILES    an include file with the uninstaller's Delete and RMDir lines for it
;   KH_ICON     the program's icon
;   KH_OUTFILE  the installer to write
; Silent use: setup.exe /S [/AUTORUN=0|1] [/BROWSER=0|1] [/D=folder]; uninstall.exe /S.
; Without /AUTORUN or /BROWSER an earlier installation's choice stays, and a first one is off.
; The program is x64 only, and so is the installer.
Target amd64-unicode
ManifestDPIAware true
ManifestSupportedOS all
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "nsDialogs.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "StrFunc.nsh"
${StrStr}
${UnStrStr}

!define PRODUCT "Keyhaven"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Keyhaven"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define MENUEXT_KEY "Software\Microsoft\Internet Explorer\MenuExt"
!define HOST_NAME "org.keyhaven.bridge"

Name "${PRODUCT} ${KH_VERSION}"
OutFile "${KH_OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Keyhaven"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${KH_VERSION}"

VIProductVersion "${KH_VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "FileVersion" "${KH_VERSION}"
VIAddVersionKey "ProductVersion" "${KH_VERSION}"
VIAddVersionKey "LegalCopyright" "Keyhaven contributors"

!define MUI_ICON "${KH_ICON}"
!define MUI_UNICON "${KH_ICON}"
!define MUI_ABORTWARNING

Var Autorun
Var Browser
Var AutorunBox
Var BrowserBox

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
Page custom OptionsPage OptionsLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Keyhaven.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Keyhaven now"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; /NAME=1 or /NAME=0 on the command line; without it the setting KEY of an earlier
; installation's config.ini, else 0.
!macro FlagOption NAME KEY VAR
    ClearErrors
    ${GetOptions} $R0 "/${NAME}=" $R1
    ${If} ${Errors}
        ClearErrors
        ReadINIStr $R1 "$APPDATA\Keyhaven\config.ini" "Setting" "${KEY}"
        ${If} ${Errors}
            StrCpy $R1 0
        ${EndIf}
    ${EndIf}
    ; Read as a number, as the program reads it: anything but a number other than 0 is off.
    IntOp $R1 $R1 + 0
    ${If} $R1 = 0
        StrCpy ${VAR} 0
    ${Else}
        StrCpy ${VAR} 1
    ${EndIf}
!macroend

Function .onInit
    ; Nothing the user did not ask for: both off unless chosen now or before.
    SetShellVarContext current
    ${GetParameters} $R0
    !insertmacro FlagOption "AUTORUN" "Autorun" $Autorun
    !insertmacro FlagOption "BROWSER" "WithIE" $Browser
FunctionEnd

Function OptionsPage
    !insertmacro MUI_HEADER_TEXT "Options" "Choose what Keyhaven may do besides running when you start it."
    nsDialogs::Create 1018
    Pop $0
    ${If} $0 == error
        Abort
    ${EndIf}
    ${NSD_CreateLabel} 0 0 100% 30u "Keyhaven does neither unless you choose it here. Later, Tools - Preferences turns both on or off; for the browser extension run khbridge register or khbridge unregister."
    Pop $0
    ${NSD_CreateCheckbox} 0 38u 100% 12u "&Start Keyhaven with Windows (in the notification area)"
    Pop $AutorunBox
    ${NSD_SetState} $AutorunBox $Autorun
    ${NSD_CreateCheckbox} 0 58u 100% 12u "&Connect Keyhaven with the web browsers"
    Pop $BrowserBox
    ${NSD_SetState} $BrowserBox $Browser
    ${NSD_CreateLabel} 12u 72u -12u 40u "Registers khbridge as the native-messaging host of the Keyhaven browser extension for Chrome, Edge, Chromium and Firefox, and adds the Keyhaven entries to Internet Explorer's context menu."
    Pop $0
    nsDialogs::Show
FunctionEnd

Function OptionsLeave
    ${NSD_GetState} $AutorunBox $Autorun
    ${NSD_GetState} $BrowserBox $Browser
    ${If} $Autorun <> 0
        StrCpy $Autorun 1
    ${EndIf}
    ${If} $Browser <> 0
        StrCpy $Browser 1
    ${EndIf}
FunctionEnd

; Aborts while Keyhaven runs: its files are in use, and it would write its keys again.
!macro RefuseWhileRunning UN
Function ${UN}RefuseWhileRunning
    FindWindow $0 "TfrmMain"
    ${While} $0 <> 0
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Keyhaven is running. Close it (File - Exit or the notification area's menu) and click Retry." /SD IDCANCEL IDRETRY again
        SetErrorLevel 2
        Quit
    again:
        FindWindow $0 "TfrmMain"
    ${EndWhile}
FunctionEnd
!macroend
!insertmacro RefuseWhileRunning ""
!insertmacro RefuseWhileRunning "un."

Section "Keyhaven" SecMain
    SectionIn RO
    SetShellVarContext current
    Call RefuseWhileRunning

    SetOutPath "$INSTDIR"
    File /r "${KH_STAGE}/*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortCut "$SMPROGRAMS\Keyhaven.lnk" "$INSTDIR\Keyhaven.exe" "" "$INSTDIR\Keyhaven.exe" 0

    ; The program reads these at its start: with them set, its first start registers only
    ; what was chosen. Other settings of an earlier installation stay as they are.
    CreateDirectory "$APPDATA\Keyhaven"
    WriteINIStr "$APPDATA\Keyhaven\config.ini" "Setting" "Autorun" "$Autorun"
    WriteINIStr "$APPDATA\Keyhaven\config.ini" "Setting" "WithIE" "$Browser"
    ${If} $Autorun == 1
        WriteRegStr HKCU "${RUN_KEY}" "Keyhaven" '"$INSTDIR\Keyhaven.exe" /start'
    ${Else}
        DeleteRegValue HKCU "${RUN_KEY}" "Keyhaven"
    ${EndIf}
    ${If} $Browser == 1
        nsExec::Exec '"$INSTDIR\khbridge.exe" register'
        Pop $0
        ${If} $0 != 0
            DetailPrint "khbridge register failed ($0)"
        ${EndIf}
    ${Else}
        Call RemoveHostKeys
    ${EndIf}

    ; Account files open with the program (it rewrites these at every start too).
    WriteRegStr HKCU "Software\Classes\.khk" "" "Keyhaven.Account"
    WriteRegStr HKCU "Software\Classes\Keyhaven.Account" "" "Keyhaven Account File"
    WriteRegStr HKCU "Software\Classes\Keyhaven.Account\DefaultIcon" "" "$INSTDIR\Keyhaven.exe,1"
    WriteRegStr HKCU "Software\Classes\Keyhaven.Account\shell" "" "Open"
    WriteRegStr HKCU "Software\Classes\Keyhaven.Account\shell\Open\Command" "" '"$INSTDIR\Keyhaven.exe" "%1"'
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${KH_VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Keyhaven.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; Deletes KEY when its default value names a file in the program folder: a key that
; another installation of the program wrote stays.
!macro DeleteKeyNamingUs UN KEY
    ReadRegStr $1 HKCU "${KEY}" ""
    ${${UN}StrStr} $2 $1 "$INSTDIR\"
    ${If} $1 != ""
    ${AndIf} $2 == $1
        DeleteRegKey HKCU "${KEY}"
    ${EndIf}
!macroend

!macro RemoveHostKeysBody UN
    !insertmacro DeleteKeyNamingUs "${UN}" "Software\Google\Chrome\NativeMessagingHosts\${HOST_NAME}"
    !insertmacro DeleteKeyNamingUs "${UN}" "Software\Microsoft\Edge\NativeMessagingHosts\${HOST_NAME}"
    !insertmacro DeleteKeyNamingUs "${UN}" "Software\Chromium\NativeMessagingHosts\${HOST_NAME}"
    !insertmacro DeleteKeyNamingUs "${UN}" "Software\Mozilla\NativeMessagingHosts\${HOST_NAME}"
!macroend

Function RemoveHostKeys
    !insertmacro RemoveHostKeysBody ""
FunctionEnd

Function un.RemoveHostKeys
    !insertmacro RemoveHostKeysBody "Un"
FunctionEnd

; Internet Explorer's menu entries are named by their translated captions; they are found
; by the page in the program folder each one opens.
Function un.RemoveMenuEntries
    StrCpy $3 0
    ${Do}
        EnumRegKey $4 HKCU "${MENUEXT_KEY}" $3
        ${If} $4 == ""
            ${Break}
        ${EndIf}
        ReadRegStr $1 HKCU "${MENUEXT_KEY}\$4" ""
        ${UnStrStr} $2 $1 "$INSTDIR\"
        ${If} $1 != ""
        ${AndIf} $2 == $1
            DeleteRegKey HKCU "${MENUEXT_KEY}\$4"
        ${Else}
            IntOp $3 $3 + 1
        ${EndIf}
    ${Loop}
FunctionEnd

Section "Uninstall"
    SetShellVarContext current
    Call un.RefuseWhileRunning

    Call un.RemoveMenuEntries
    Call un.RemoveHostKeys

    ReadRegStr $1 HKCU "${RUN_KEY}" "Keyhaven"
    ${UnStrStr} $2 $1 "$INSTDIR\Keyhaven.exe"
    ${If} $1 != ""
    ${AndIf} $2 != ""
        DeleteRegValue HKCU "${RUN_KEY}" "Keyhaven"
    ${EndIf}

    ReadRegStr $1 HKCU "Software\Classes\Keyhaven.Account\DefaultIcon" ""
    ${UnStrStr} $2 $1 "$INSTDIR\Keyhaven.exe"
    ${If} $1 == ""
    ${OrIf} $2 != ""
        DeleteRegKey HKCU "Software\Classes\Keyhaven.Account"
        ReadRegStr $1 HKCU "Software\Classes\.khk" ""
        ${If} $1 == "Keyhaven.Account"
            DeleteRegValue HKCU "Software\Classes\.khk" ""
        ${EndIf}
        DeleteRegKey /ifempty HKCU "Software\Classes\.khk"
        System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
    ${EndIf}

    Delete "$SMPROGRAMS\Keyhaven.lnk"

    ; The program's files only: account files, backups and config.ini stay, and so does
    ; the folder while anything else is in it.
    !include "${KH_FILES}"
    Delete "$INSTDIR\KHGet.htm"
    Delete "$INSTDIR\KHGen.htm"
    Delete "$INSTDIR\KHSave.htm"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"

    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
