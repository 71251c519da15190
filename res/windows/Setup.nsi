; Quillmark's setup program: installs for the current user alone, without
; administrator rights, under the user's local programs folder. The build
; (cmake/WindowsPackages.cmake) gives VERSION, FILE_VERSION (four numbers),
; STAGING (the folder holding the program, its licence and the notices of the
; runtime linked into it), ICON, WELCOME_BITMAP (164x314, drawn from the
; program's art) and OUTFILE.
; A 64-bit setup for a 64-bit program: Wine and Windows need no 32-bit layer.
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmark"
!define DESCRIPTION "Create accounts, log in and change passwords"

Name "Quillmark"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Quillmark"
; A second setup goes where the first one went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Quillmark ${VERSION}"

VIProductVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "Quillmark"
VIAddVersionKey /LANG=1033 "CompanyName" "Quillmark"
VIAddVersionKey /LANG=1033 "FileDescription" "Quillmark ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "MIT licence"

!include FileFunc.nsh
!include LogicLib.nsh
!include WordFunc.nsh
!include MUI2.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WELCOME_BITMAP}"
!define MUI_WELCOMEPAGE_TEXT "Setup installs Quillmark ${VERSION} for you alone, in a folder of your own. It needs no administrator rights and changes nothing for the other users of this computer.$\r$\n$\r$\nQuillmark keeps your accounts in Quillmark.txt files: Setup never opens, changes or removes one.$\r$\n$\r$\n$_CLICK"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Quillmark"
!define MUI_FINISHPAGE_RUN_FUNCTION StartInProfile
!define MUI_FINISHPAGE_TEXT "Quillmark is in the Start menu. Started from there, it keeps its accounts in Quillmark.txt in your profile folder ($PROFILE)."

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGING}\License.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!define MUI_UNCONFIRMPAGE_TEXT_TOP "Quillmark will be removed from the folder below. Your Quillmark.txt files are kept: your accounts stay until you delete them."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The program keeps its accounts in the folder it starts in: the profile
; folder, as the shortcut does, never the program's own.
Function StartInProfile
    SetOutPath "$PROFILE"
    Exec '"$INSTDIR\Quillmark.exe"'
FunctionEnd

; Windows keeps a running program's file from being written or deleted: a
; Quillmark.exe in $INSTDIR that cannot be opened for writing, in a folder
; that can be written, is running. The user may close it and retry; cancelled
; (and silently) the run ends with status 2 before anything is changed. A
; folder that cannot be written at all is told where it is written.
!macro CHECK_NOT_RUNNING un
Function ${un}CheckNotRunning
    ${Do}
        ${IfNot} ${FileExists} "$INSTDIR\Quillmark.exe"
        ${OrIf} ${FileExists} "$INSTDIR\Quillmark.exe\*.*"
            Return
        ${EndIf}
        ClearErrors
        FileOpen $0 "$INSTDIR\Quillmark.exe" a
        ${IfNot} ${Errors}
            FileClose $0
            Return
        ${EndIf}
        GetTempFileName $0 "$INSTDIR"
        ${If} $0 == ""
            Return
        ${EndIf}
        Delete $0
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Quillmark is running from $INSTDIR.$\r$\n$\r$\nClose Quillmark, then choose Retry." /SD IDCANCEL IDRETRY retry
        SetErrorLevel 2
        Quit
        retry:
    ${Loop}
FunctionEnd
!macroend
!insertmacro CHECK_NOT_RUNNING ""
!insertmacro CHECK_NOT_RUNNING "un."

Function .onInit
    Call CheckNotRunning
FunctionEnd

Section
    SetShellVarContext current
    ; The folder may have changed on the pages since the first check.
    Call CheckNotRunning
    ; Opening the program's file for writing tells a folder that cannot be
    ; written before anything is changed.
    ClearErrors
    CreateDirectory "$INSTDIR"
    FileOpen $0 "$INSTDIR\Quillmark.exe" a
    ${If} ${Errors}
        MessageBox MB_OK|MB_ICONSTOP "Quillmark cannot be installed in $INSTDIR: that folder cannot be written.$\r$\n$\r$\nChoose a folder of your own." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    FileClose $0

    SetOutPath "$INSTDIR"
    File "${STAGING}\Quillmark.exe"
    File "${STAGING}\License.txt"
    SetOutPath "$INSTDIR\Licenses"
    File "${STAGING}\Licenses\winpthreads.txt"
    File "${STAGING}\Licenses\mingw-w64-runtime.txt"
    File "${STAGING}\Licenses\gcc-runtime.txt"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    SetOutPath "$PROFILE"
    CreateShortcut "$SMPROGRAMS\Quillmark.lnk" "$INSTDIR\Quillmark.exe" "" "$INSTDIR\Quillmark.exe" 0 SW_SHOWNORMAL "" "${DESCRIPTION}"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quillmark"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Quillmark"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quillmark.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    ; Started plainly, the uninstaller hands over to a copy of itself in the
    ; temporary folder and ends at once with status 0. Run in place (_?=, last)
    ; it is the uninstall, but holds its own file open until it ends: the quiet
    ; uninstall runs a copy in the temporary folder in place, and so waits for
    ; the uninstall and ends with its status. The folder after _?= cannot be
    ; quoted: its ^ and & are escaped from cmd.
    ${WordReplace} "$INSTDIR" "^" "^^" "+" $1
    ${WordReplace} "$1" "&" "^&" "+" $1
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$SYSDIR\cmd.exe" /d /c copy /b /y "$INSTDIR\Uninstall.exe" "%TEMP%\Quillmark-uninstall.exe" >nul && "%TEMP%\Quillmark-uninstall.exe" /S _?=$1'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Run in place (_?=), the folder is the caller's word: one that holds no
; uninstaller holds no Quillmark of this setup's, and is not reported removed.
Function un.onInit
    ${IfNot} ${FileExists} "$INSTDIR\Uninstall.exe"
        MessageBox MB_OK|MB_ICONSTOP "Quillmark is not installed in $INSTDIR." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    Call un.CheckNotRunning
FunctionEnd

; Removes what the setup made and nothing else: Quillmark.txt files stay, and
; so does the folder if the user put anything of their own in it.
Section "Uninstall"
    SetShellVarContext current
    ; Quillmark may have been started since the first check.
    Call un.CheckNotRunning
    ClearErrors
    Delete "$INSTDIR\Quillmark.exe"
    ${If} ${Errors}
        MessageBox MB_OK|MB_ICONSTOP "Quillmark cannot be removed from $INSTDIR: that folder cannot be written." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    Delete "$INSTDIR\License.txt"
    Delete "$INSTDIR\Licenses\winpthreads.txt"
    Delete "$INSTDIR\Licenses\mingw-w64-runtime.txt"
    Delete "$INSTDIR\Licenses\gcc-runtime.txt"
    RMDir "$INSTDIR\Licenses"
    Delete "$SMPROGRAMS\Quillmark.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ClearErrors
    Delete "$INSTDIR\Uninstall.exe"
    ${If} ${Errors}
        MessageBox MB_OK|MB_ICONEXCLAMATION "Quillmark is removed, but $INSTDIR\Uninstall.exe could not be: delete it yourself." /SD IDOK
        SetErrorLevel 1
    ${EndIf}
    RMDir "$INSTDIR"
SectionEnd
