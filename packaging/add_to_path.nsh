# SPDX-License-Identifier: MIT
# The installer's page "Command line": the box "Add Kestrun to my PATH", off
# unless checked, adds the installation folder to the user's own Path
# (HKCU\Environment), so that `kestrun` typed in a new console finds
# kestrun.com there. /ADDTOPATH=1 or /ADDTOPATH=0 decides without the page, as
# a silent install (/S) needs; an upgrade keeps the previous choice. The
# uninstaller takes out the entry the installer put in, and no other.
# Included by the installer script that CPack generates after
# start_at_login.nsh, whose includes and KESTRUN_UNINSTALL_KEY it uses.

!include WinMessages.nsh
!include WordFunc.nsh

!define KESTRUN_ENVIRONMENT_KEY "Environment"

Var AddToPath  # "1" or "0" once decided
Var AddToPathBox

# Decides, once: the command line's choice, else the installed version's,
# else off.
Function AddToPathChoice
  ${If} $AddToPath != ""
    Return
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ADDTOPATH=" $1
  ${IfNot} ${Errors}
    ${If} $1 == "1"
    ${OrIf} $1 == "0"
      StrCpy $AddToPath $1
      Return
    ${EndIf}
    MessageBox MB_OK|MB_ICONSTOP "/ADDTOPATH= takes 1 or 0, not '$1'." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  StrCpy $AddToPath 0
  ReadRegStr $0 SHCTX "${KESTRUN_UNINSTALL_KEY}" "KestrunAddedToPath"
  ${If} $0 != ""
    StrCpy $AddToPath 1
  ${EndIf}
FunctionEnd

Function AddToPathPage
  Call AddToPathChoice
  !insertmacro MUI_HEADER_TEXT "Command line" "Choose whether consoles find Kestrun."
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 40u "Typed in a console, $\"kestrun --validate script.txt$\" runs \
    Kestrun's command line and waits for it. Consoles find it when Kestrun's folder is in your \
    PATH; the Start menu entry works either way."
  Pop $0
  ${NSD_CreateCheckbox} 0 52u 100% 12u "Add Kestrun to my PATH"
  Pop $AddToPathBox
  ${If} $AddToPath == 1
    ${NSD_Check} $AddToPathBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function AddToPathPageLeave
  ${NSD_GetState} $AddToPathBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $AddToPath 1
  ${Else}
    StrCpy $AddToPath 0
  ${EndIf}
FunctionEnd

# Running consoles keep their environment; new ones read the changed Path.
!macro KESTRUN_ANNOUNCE_ENVIRONMENT
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=2000
!macroend

# The user's Path into $0, and $1 "ok", or "long" when the value is there but
# longer than the installer's strings hold (NSIS_MAX_STRLEN): such a Path is
# left as it is, since writing back what was read would cut it short.
!macro KESTRUN_READ_USER_PATH
  StrCpy $1 ok
  ClearErrors
  ReadRegStr $0 HKCU "${KESTRUN_ENVIRONMENT_KEY}" "Path"
  ${If} ${Errors}  # no Path, or one too long to read
    StrCpy $0 ""
    StrCpy $3 0
    ${Do}
      ClearErrors
      EnumRegValue $4 HKCU "${KESTRUN_ENVIRONMENT_KEY}" $3
      ${If} $4 == ""
        ${ExitDo}
      ${ElseIf} $4 == "Path"
        StrCpy $1 long
        ${ExitDo}
      ${EndIf}
      IntOp $3 $3 + 1
    ${Loop}
  ${Else}
    StrLen $3 $0
    IntOp $4 ${NSIS_MAX_STRLEN} - 1
    ${If} $3 >= $4
      StrCpy $1 long
    ${EndIf}
  ${EndIf}
!macroend

!macro KESTRUN_APPLY_ADD_TO_PATH
  ${If} $AddToPath == 1
    !insertmacro KESTRUN_READ_USER_PATH
    ${If} $1 == long
      MessageBox MB_OK|MB_ICONEXCLAMATION "Your PATH is too long for the installer to change. \
        Add $INSTDIR to it yourself." /SD IDOK
    ${Else}
      ClearErrors
      ${WordFind} ";$0;" ";$INSTDIR;" "E*" $2
      ${If} ${Errors}  # not there yet
        ${If} $0 == ""
          StrCpy $0 "$INSTDIR"
        ${Else}
          StrCpy $0 "$0;$INSTDIR"
        ${EndIf}
        WriteRegExpandStr HKCU "${KESTRUN_ENVIRONMENT_KEY}" "Path" "$0"
        WriteRegStr SHCTX "${KESTRUN_UNINSTALL_KEY}" "KestrunAddedToPath" "$INSTDIR"
        !insertmacro KESTRUN_ANNOUNCE_ENVIRONMENT
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

# Takes out the entry the installer added, wherever the user has since moved
# it in the list, and leaves every other entry as it stands.
!macro KESTRUN_REMOVE_FROM_PATH
  ReadRegStr $2 SHCTX "${KESTRUN_UNINSTALL_KEY}" "KestrunAddedToPath"
  ${If} $2 != ""
    !insertmacro KESTRUN_READ_USER_PATH
    ${If} $1 == long
      MessageBox MB_OK|MB_ICONEXCLAMATION "Your PATH is too long for the uninstaller to change. \
        Remove $2 from it yourself." /SD IDOK
    ${Else}
      ${un.WordReplace} ";$0;" ";$2;" ";" "+" $1
      StrCpy $1 $1 "" 1
      StrCpy $1 $1 -1
      ${If} $1 == ""
        DeleteRegValue HKCU "${KESTRUN_ENVIRONMENT_KEY}" "Path"
      ${Else}
        WriteRegExpandStr HKCU "${KESTRUN_ENVIRONMENT_KEY}" "Path" "$1"
      ${EndIf}
      !insertmacro KESTRUN_ANNOUNCE_ENVIRONMENT
    ${EndIf}
  ${EndIf}
!macroend
