; Orvanta's installer: for the current user only, no elevation.
; Built by installer/CMakeLists.txt, which passes what the program defines:
;   VERSION, EXE (the Orvanta.exe to ship), OUTFILE,
;   MANAGER_CLASS, MANAGER_CAPTION (a running 1.50's manager window),
;   BEACON_CLASS, BEACON_CAPTION (the window any running version has), CMD_EXIT,
;   and TARGET (amd64-unicode) for a 64-bit EXE.

!ifdef TARGET
  Target ${TARGET}
!else
  Unicode true
!endif
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma
; A locked Orvanta.exe is retried or cancelled, never skipped.
AllowSkipFiles off

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvanta"
!define SETTINGS_FOLDER "$APPDATA\Velmora\Orvanta"
!define SHORTCUT "Orvanta.lnk"
!define EXIT_WAIT_MS 15000
!define SYNCHRONIZE 0x100000

Name "Orvanta"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Orvanta"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "Orvanta"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "Orvanta Setup"
VIAddVersionKey /LANG=0 "CompanyName" "Velmora"
VIAddVersionKey /LANG=0 "LegalCopyright" "Velmora"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Orvanta.exe"
!define MUI_FINISHPAGE_RUN_TEXT "$(RunNow)"

!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

; Without a language page the one that matches the system's language is used,
; English otherwise.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Turkish"
!include "Languages.nsh"

; $1 = the window of a running copy of any version, or 0.
!macro FIND_RUNNING_ORVANTA
  FindWindow $1 "${BEACON_CLASS}" "${BEACON_CAPTION}"
  ${If} $1 == 0
    FindWindow $1 "${MANAGER_CLASS}" "${MANAGER_CAPTION}"
  ${EndIf}
!macroend

; Asks a running copy to exit through its tray menu's Exit command, which saves
; its settings, and waits a bounded time for the process to end, so that its
; file is not locked. $0 is left 1 when a copy is still running.
!macro CLOSE_RUNNING_ORVANTA UN
Function ${UN}CloseRunningOrvanta
  StrCpy $0 0
  !insertmacro FIND_RUNNING_ORVANTA
  ${If} $1 == 0
    Return
  ${EndIf}
  System::Call "user32::GetWindowThreadProcessId(p r1, *i 0 r2)"
  System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r2) p .r3"
  System::Call "user32::PostMessageW(p r1, i ${WM_COMMAND}, p ${CMD_EXIT}, p 0)"
  ${If} $3 P<> 0
    ; WAIT_OBJECT_0 is 0.
    System::Call "kernel32::WaitForSingleObject(p r3, i ${EXIT_WAIT_MS}) i .r4"
    System::Call "kernel32::CloseHandle(p r3)"
    ${IfThen} $4 <> 0 ${|} StrCpy $0 1 ${|}
  ${Else}
    ; No access to the process: its window going is the next best sign.
    StrCpy $4 0
    ${Do}
      Sleep 100
      IntOp $4 $4 + 100
      !insertmacro FIND_RUNNING_ORVANTA
      ${If} $1 == 0
      ${OrIf} $4 >= ${EXIT_WAIT_MS}
        ${ExitDo}
      ${EndIf}
    ${Loop}
    ${IfThen} $1 <> 0 ${|} StrCpy $0 1 ${|}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_ORVANTA ""
!insertmacro CLOSE_RUNNING_ORVANTA "un."

; Until no copy runs, or the user gives up (a silent run gives up at once).
!macro CLOSE_OR_ABORT UN
  close_running:
  Call ${UN}CloseRunningOrvanta
  ${If} $0 <> 0
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(StillRunning)" /SD IDCANCEL IDRETRY close_running
    Abort
  ${EndIf}
!macroend

Section "-Orvanta" SecProgram
  SetOutPath "$INSTDIR"
  !insertmacro CLOSE_OR_ABORT ""
  File "/oname=Orvanta.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${SHORTCUT}" "$INSTDIR\Orvanta.exe"
  ; Chosen anew on every install: the section below puts it back when ticked.
  Delete "$SMSTARTUP\${SHORTCUT}"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Orvanta"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Velmora"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Orvanta.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $1
SectionEnd

Section "$(StartAtLogOn)" SecLogOn
  CreateShortcut "$SMSTARTUP\${SHORTCUT}" "$INSTDIR\Orvanta.exe"
SectionEnd

Section "un.$(UnProgram)" SecUnProgram
  SectionIn RO
  !insertmacro CLOSE_OR_ABORT "un."
  Delete "$SMSTARTUP\${SHORTCUT}"
  Delete "$SMPROGRAMS\${SHORTCUT}"
  Delete "$INSTDIR\Orvanta.exe"
  Delete "$INSTDIR\uninstall.exe"
  ; Only if empty: whatever else the user keeps there stays.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

; Off unless ticked: the trackers outlive the program by default.
Section /o "un.$(UnRemoveTrackers)" SecUnTrackers
  RMDir /r "${SETTINGS_FOLDER}"
  RMDir "$APPDATA\Velmora"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecLogOn} "$(StartAtLogOnHelp)"
!insertmacro MUI_FUNCTION_DESCRIPTION_END
!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUnProgram} "$(UnProgramHelp)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUnTrackers} "$(UnRemoveTrackersHelp)"
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
