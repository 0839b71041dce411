# SPDX-License-Identifier: MIT
# The installer's page "Start with Windows" and what goes with it. Kestrun
# starts at login through the value "Kestrun" under the user's Run key, the
# same value that the tray menu's "Start Kestrun at login" sets and clears.
# /STARTATLOGIN=1 or /STARTATLOGIN=0 on the command line decides without the
# page, as a silent install (/S) needs. An upgrade keeps the user's choice: it
# removes the installed version itself, once the choice has been read from it.
# Included by the installer script that CPack generates; KESTRUN_INSTALL_KEY
# names the installation's key under Uninstall.

!include FileFunc.nsh
!include LogicLib.nsh
!include nsDialogs.nsh

!define KESTRUN_RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define KESTRUN_APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
!define KESTRUN_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${KESTRUN_INSTALL_KEY}"

Var StartAtLogin  # "1" or "0" once decided
Var StartAtLoginBox

# Decides, once: the command line's choice, else the installed version's,
# else on.
Function StartAtLoginChoice
  ${If} $StartAtLogin != ""
    Return
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/STARTATLOGIN=" $1
  ${IfNot} ${Errors}
    ${If} $1 == "1"
    ${OrIf} $1 == "0"
      StrCpy $StartAtLogin $1
      Return
    ${EndIf}
    MessageBox MB_OK|MB_ICONSTOP "/STARTATLOGIN= takes 1 or 0, not '$1'." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  StrCpy $StartAtLogin 1
  ReadRegStr $0 SHCTX "${KESTRUN_UNINSTALL_KEY}" "UninstallString"
  ${If} $0 != ""
    ClearErrors
    ReadRegStr $1 HKCU "${KESTRUN_RUN_KEY}" "Kestrun"
    ${If} ${Errors}
      StrCpy $StartAtLogin 0
    ${EndIf}
  ${EndIf}
FunctionEnd

Function StartAtLoginPage
  Call StartAtLoginChoice
  !insertmacro MUI_HEADER_TEXT "Start with Windows" "Choose whether Kestrun starts when you log in."
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 40u "Kestrun watches your drives only while it runs. Started at \
    login, it opens as its options say, in the notification area with $\"Minimise on automatic \
    start?$\".$\r$\n$\r$\nThe item $\"Start Kestrun at login$\" in its tray menu changes this later."
  Pop $0
  ${NSD_CreateCheckbox} 0 52u 100% 12u "Start Kestrun when I log in"
  Pop $StartAtLoginBox
  ${If} $StartAtLogin == 1
    ${NSD_Check} $StartAtLoginBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function StartAtLoginPageLeave
  ${NSD_GetState} $StartAtLoginBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $StartAtLogin 1
  ${Else}
    StrCpy $StartAtLogin 0
  ${EndIf}
FunctionEnd

# Before the files: the choice (a silent install shows no page), then the
# installed version goes, by its own uninstaller, run in place.
!macro KESTRUN_REMOVE_INSTALLED_VERSION
  Call StartAtLoginChoice
  ReadRegStr $0 SHCTX "${KESTRUN_UNINSTALL_KEY}" "UninstallString"
  ${If} $0 != ""
    StrCpy $1 $0 1
    ${If} $1 == '"'  # "<folder>\Uninstall.exe", quoted
      StrCpy $0 $0 "" 1
      StrCpy $0 $0 -1
    ${EndIf}
    ${GetParent} $0 $1
    ClearErrors
    ExecWait '"$0" /S _?=$1'
    ${If} ${Errors}
      MessageBox MB_OK|MB_ICONSTOP "The installed Kestrun could not be removed." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
!macroend

!macro KESTRUN_APPLY_START_AT_LOGIN
  ${If} $StartAtLogin == 1
    WriteRegStr HKCU "${KESTRUN_RUN_KEY}" "Kestrun" '"$INSTDIR\kestrun.exe"'
  ${Else}
    DeleteRegValue HKCU "${KESTRUN_RUN_KEY}" "Kestrun"
    DeleteRegValue HKCU "${KESTRUN_APPROVED_KEY}" "Kestrun"
  ${EndIf}
!macroend

!macro KESTRUN_FORGET_START_AT_LOGIN
  DeleteRegValue HKCU "${KESTRUN_RUN_KEY}" "Kestrun"
  DeleteRegValue HKCU "${KESTRUN_APPROVED_KEY}" "Kestrun"
!macroend
