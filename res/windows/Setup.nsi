; Quillmark's setup program: installs for the current user alone, without
; administrator rights, under the user's local programs folder. The build
; (cmake/WindowsPackages.cmake) gives VERSION, FILE_VERSION (four numbers),
; STAGING (the folder holding the program and its licence), ICON and OUTFILE.
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
!include MUI2.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Quillmark"
!define MUI_FINISHPAGE_RUN_FUNCTION StartInProfile
!define MUI_FINISHPAGE_TEXT "Quillmark is in the Start menu. Started from there, it keeps its accounts in Quillmark.txt in your profile folder ($PROFILE)."

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGING}\License.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The program keeps its accounts in the folder it starts in: the profile
; folder, as the shortcut does, never the program's own.
Function StartInProfile
    SetOutPath "$PROFILE"
    Exec '"$INSTDIR\Quillmark.exe"'
FunctionEnd

Section
    SetShellVarContext current
    ; Opening the program's file for writing tells a folder that cannot be
    ; written (or a Quillmark still running) before anything is changed.
    ClearErrors
    CreateDirectory "$INSTDIR"
    FileOpen $0 "$INSTDIR\Quillmark.exe" a
    ${If} ${Errors}
        MessageBox MB_OK|MB_ICONSTOP "Quillmark cannot be installed in $INSTDIR: that folder cannot be written.$\r$\n$\r$\nClose Quillmark if it is running, or choose a folder of your own." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    FileClose $0

    SetOutPath "$INSTDIR"
    File "${STAGING}\Quillmark.exe"
    File "${STAGING}\License.txt"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    SetOutPath "$PROFILE"
    CreateShortcut "$SMPROGRAMS\Quillmark.lnk" "$INSTDIR\Quillmark.exe" "" "$INSTDIR\Quillmark.exe" 0 SW_SHOWNORMAL "" "${DESCRIPTION}"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quillmark"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Quillmark"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quillmark.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Removes what the setup made and nothing else: Quillmark.txt files stay, and
; so does the folder if the user put anything of their own in it.
Section "Uninstall"
    SetShellVarContext current
    ClearErrors
    Delete "$INSTDIR\Quillmark.exe"
    ${If} ${Errors}
        MessageBox MB_OK|MB_ICONSTOP "Quillmark is running: close it, then uninstall it again." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    Delete "$INSTDIR\License.txt"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Quillmark.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
