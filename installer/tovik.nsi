; Per-user installer of Tovik: no administrator rights, everything under the
; user's own folders and HKEY_CURRENT_USER.
;
; Defines (makensis -D...): TOVIK_VERSION (x.y.z), TOVIK_EXE (the program to
; install as tovik.exe), TOVIK_RECEIVE_EXE (the receiver, tovik-receive.exe),
; TOVIK_ICON (.ico), TOVIK_OUTFILE (installer path).
;
; The user chooses what to install: Tovik (the transmitter, ticked), the
; receiver (a console program with a Start-menu entry that asks for the
; pairing code), or both. Silent use: "tovik-setup.exe /S" installs Tovik;
; /RECEIVER adds the receiver, /NOTRANSMITTER leaves Tovik out; with
; /FIREWALL it also adds the Windows Firewall rules of what it installs (the
; dialog offers them ticked; they ask for administrator rights). "uninstall.exe /S" removes the program, its
; shortcut, its autostart value and its uninstall entry, and keeps the user's
; settings and logs in %APPDATA%\Tovik unless /REMOVEUSERDATA is given (in the
; dialog: the unticked component "Settings and logs"); the dialog also removes
; the firewall rule it added.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"

!define PRODUCT "Tovik"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tovik"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define TRAY_CLASS "TovikTrayClass"
!define QUIT_COMMAND 2006
; The program claims this mutex while it runs, one per user session.
!define INSTANCE_MUTEX "Local\Tovik.Instance"
!define SYNCHRONIZE 0x00100000
; Receivers greet Tovik with unsolicited datagrams on this port; the
; receiver hears Tovik's announcements on the discovery port.
!define AUDIO_PORT 19483
!define DISCOVERY_PORT 19482
!define FIREWALL_RULE "Tovik"
!define RECEIVER "Tovik Receiver"
!define FIREWALL_HELP "Receivers reach Tovik on UDP port ${AUDIO_PORT}. If none can connect, allow tovik.exe in Windows Firewall for incoming UDP on port ${AUDIO_PORT} on private networks (Windows Security, Firewall && network protection, Allow an app through firewall)."

Var FirewallNote

Name "${PRODUCT}"
OutFile "${TOVIK_OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tovik"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${TOVIK_VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${TOVIK_VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${TOVIK_VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" ""

!define MUI_ICON "${TOVIK_ICON}"
!define MUI_UNICON "${TOVIK_ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\tovik.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed.$\r$\n$\r$\n$FirewallNote"
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_PAGE_CUSTOMFUNCTION_SHOW finish_show
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

;  $0 = 1 while a Tovik of this session runs (the program's own check).
!macro TOVIK_RUNNING
  System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${INSTANCE_MUTEX}") p .r1'
  ${If} $1 P<> 0
    System::Call 'kernel32::CloseHandle(p r1)'
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
!macroend

; Asks the running Tovik to quit through its own "Quit Tovik" command (so it
; stops streaming cleanly) and waits up to five seconds for it to end.
!macro QUIT_RUNNING_TOVIK un
Function ${un}quit_running_tovik
  !insertmacro TOVIK_RUNNING
  ${If} $0 == 0
    Return
  ${EndIf}
  FindWindow $2 "${TRAY_CLASS}"
  ${If} $2 <> 0
    SendMessage $2 ${WM_COMMAND} ${QUIT_COMMAND} 0 /TIMEOUT=5000
  ${EndIf}
  StrCpy $3 0
  ${Do}
    Sleep 100
    IntOp $3 $3 + 1
    !insertmacro TOVIK_RUNNING
    ${If} $0 == 0
    ${OrIf} $3 >= 50
      ${Break}
    ${EndIf}
  ${Loop}
FunctionEnd
!macroend
!insertmacro QUIT_RUNNING_TOVIK ""
!insertmacro QUIT_RUNNING_TOVIK "un."

Section "${PRODUCT} (plays this PC's sound to a receiver)" SecProgram
  Call quit_running_tovik
  SetOutPath "$INSTDIR"
  File "/oname=tovik.exe" "${TOVIK_EXE}"
  SetShellVarContext current
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\tovik.exe" "" "$INSTDIR\tovik.exe" 0
SectionEnd

; A console program: its entry opens a console that asks for the code.
Section /o "${RECEIVER} (plays another PC's sound here)" SecReceiver
  SetOutPath "$INSTDIR"
  File "/oname=tovik-receive.exe" "${TOVIK_RECEIVE_EXE}"
  SetShellVarContext current
  CreateShortcut "$SMPROGRAMS\${RECEIVER}.lnk" "$INSTDIR\tovik-receive.exe" "" \
    "$INSTDIR\tovik-receive.exe" 0
SectionEnd

Section "-Uninstall entry"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${TOVIK_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tovik.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Windows Firewall drops the receivers' greetings unless a rule lets them in;
; only an administrator can add one, so this asks for elevation. An earlier
; rule of the same name is replaced, not doubled.
Section "Let receivers through Windows Firewall (asks for administrator rights)" SecFirewall
  StrCpy $0 "/c ver >nul"
  ${If} ${SectionIsSelected} ${SecProgram}
    StrCpy $0 '$0& netsh advfirewall firewall delete rule name="${FIREWALL_RULE}" >nul& netsh advfirewall firewall add rule name="${FIREWALL_RULE}" dir=in action=allow program="$INSTDIR\tovik.exe" protocol=UDP localport=${AUDIO_PORT} profile=private'
  ${EndIf}
  ${If} ${SectionIsSelected} ${SecReceiver}
    StrCpy $0 '$0& netsh advfirewall firewall delete rule name="${RECEIVER}" >nul& netsh advfirewall firewall add rule name="${RECEIVER}" dir=in action=allow program="$INSTDIR\tovik-receive.exe" protocol=UDP localport=${DISCOVERY_PORT} profile=private'
  ${EndIf}
  ClearErrors
  ExecShellWait "runas" "$SYSDIR\cmd.exe" '$0' SW_HIDE
  ${IfNot} ${Errors}
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "FirewallRule" 1
    StrCpy $FirewallNote "Windows Firewall lets receivers on private networks reach ${PRODUCT}."
  ${EndIf}
SectionEnd

Section "un.${PRODUCT}" UnSecProgram
  SectionIn RO
  Call un.remove_everything
SectionEnd

; A choice only; un.remove_everything acts on it.
Section /o "un.Settings and logs" UnSecUserData
SectionEnd

; Removes the program last, so that a gone installation folder means the
; uninstaller has finished.
Function un.remove_everything
  Call un.quit_running_tovik
  ; Removing the rule asks for elevation again: not without a dialog.
  ReadRegDWORD $0 HKCU "${UNINSTALL_KEY}" "FirewallRule"
  ${If} $0 == 1
  ${AndIfNot} ${Silent}
    ExecShellWait "runas" "$SYSDIR\cmd.exe" '/c netsh advfirewall firewall delete rule name="${FIREWALL_RULE}" & netsh advfirewall firewall delete rule name="${RECEIVER}"' SW_HIDE
  ${EndIf}
  SetShellVarContext current
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${RECEIVER}.lnk"
  ; The autostart value would otherwise point at a program that is gone.
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${If} ${SectionIsSelected} ${UnSecUserData}
    RMDir /r "$APPDATA\Tovik"
  ${EndIf}
  Delete "$INSTDIR\tovik.exe"
  Delete "$INSTDIR\tovik-receive.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
FunctionEnd

Function .onInit
  StrCpy $FirewallNote "${FIREWALL_HELP}"
  ; No elevation prompt in a silent install unless it is asked for.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/FIREWALL" $1
  ${If} ${Silent}
  ${AndIf} ${Errors}
    SectionSetFlags ${SecFirewall} 0
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/RECEIVER" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecReceiver} ${SF_SELECTED}
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/NOTRANSMITTER" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecProgram} 0
    SectionSetFlags ${SecReceiver} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

; "Start Tovik now" only where Tovik was installed.
Function finish_show
  ${IfNot} ${SectionIsSelected} ${SecProgram}
    SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
    ShowWindow $mui.FinishPage.Run ${SW_HIDE}
  ${EndIf}
FunctionEnd

; Something has to be installed: with nothing ticked, Next is greyed.
Function .onSelChange
  GetDlgItem $1 $HWNDPARENT 1
  ${If} ${SectionIsSelected} ${SecProgram}
  ${OrIf} ${SectionIsSelected} ${SecReceiver}
    EnableWindow $1 1
  ${Else}
    EnableWindow $1 0
  ${EndIf}
FunctionEnd

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVEUSERDATA" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${UnSecUserData} ${SF_SELECTED}
  ${EndIf}
FunctionEnd
