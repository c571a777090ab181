; The Windows installer: per-machine, 64-bit, into Program Files, with Start-menu entries and an
; uninstaller that Add/Remove Programs lists. The installer is itself a 64-bit program, so a 32-bit
; Windows refuses to start it with its own message before anything is touched. Made by
; scripts/package:
;   makensis -DVERSION=2.1.0 -DSTAGE=folder-with-the-files -DOUTFILE=trelvo-2.1.0-setup.exe trelvo.nsi
; Silent install and uninstall with /S.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!ifndef VERSION
    !error "VERSION must be given with -D"
!endif
!ifndef STAGE
    !error "STAGE must be given with -D"
!endif
!ifndef OUTFILE
    !error "OUTFILE must be given with -D"
!endif

!define PRODUCT "Trelvo"
!define PUBLISHER "The Trelvo developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Trelvo"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1045 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1045 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1045 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1045 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1045 "FileDescription" "Instalator programu Trelvo"
VIAddVersionKey /LANG=1045 "LegalCopyright" "MIT"

!define MUI_ICON "${STAGE}\trelvo.ico"
!define MUI_UNICON "${STAGE}\trelvo.ico"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\trelvo.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Uruchom Trelvo"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Polish"

; Waits until none of the programs in $INSTDIR runs: a running program's file cannot be opened for
; writing. Asks the user to close it; Cancel (or a silent run) gives up with exit code 2.
!macro WaitForProgramsClosed un
Function ${un}WaitForProgramsClosed
    retry:
    ${ForEach} $R0 0 2 + 1
        ${If} $R0 = 0
            StrCpy $R1 "trelvo.exe"
        ${ElseIf} $R0 = 1
            StrCpy $R1 "trelvo-sim.exe"
        ${Else}
            StrCpy $R1 "trelvo-cli.exe"
        ${EndIf}
        ${If} ${FileExists} "$INSTDIR\$R1"
            ClearErrors
            FileOpen $R2 "$INSTDIR\$R1" a
            ${If} ${Errors}
                MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
                    "Program $R1 jest uruchomiony. Zamknij go i wybierz Ponów." /SD IDCANCEL IDRETRY retry
                SetErrorLevel 2
                Quit
            ${EndIf}
            FileClose $R2
        ${EndIf}
    ${Next}
FunctionEnd
!macroend
!insertmacro WaitForProgramsClosed ""
!insertmacro WaitForProgramsClosed "un."

Section "Trelvo" SecMain
    SetShellVarContext all
    ; An earlier version goes first, through its own uninstaller, so that nothing of it stays
    ; behind (files it had that this one has not, its Start-menu entries).
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\uninstall.exe"
        StrCpy $1 $INSTDIR
        StrCpy $INSTDIR $0
        Call WaitForProgramsClosed
        StrCpy $INSTDIR $1
        DetailPrint "Usuwanie poprzedniej wersji z $0"
        ExecWait '"$0\uninstall.exe" /S _?=$0' $2
        Delete "$0\uninstall.exe"
        RMDir "$0"
    ${EndIf}
    Call WaitForProgramsClosed

    SetOutPath "$INSTDIR"
    File "${STAGE}\trelvo.exe"
    File "${STAGE}\trelvo-sim.exe"
    File "${STAGE}\trelvo-cli.exe"
    File "${STAGE}\LICENSE.txt"
    File "${STAGE}\CHANGELOG.md"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "$SMPROGRAMS\Trelvo.lnk" "$INSTDIR\trelvo.exe" "" "$INSTDIR\trelvo.exe" 0
    CreateShortcut "$SMPROGRAMS\Trelvo (demo).lnk" "$INSTDIR\trelvo-sim.exe" "" "$INSTDIR\trelvo-sim.exe" 0

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\trelvo.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Call un.WaitForProgramsClosed
    Delete "$SMPROGRAMS\Trelvo.lnk"
    Delete "$SMPROGRAMS\Trelvo (demo).lnk"
    Delete "$INSTDIR\trelvo.exe"
    Delete "$INSTDIR\trelvo-sim.exe"
    Delete "$INSTDIR\trelvo-cli.exe"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\CHANGELOG.md"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
