; The Windows installer of Karvo Backup, made by scripts/package.sh --windows with makensis:
;   makensis -DVERSION=1.0.0 -DARCH=win64|win32 -DFILES=<folder> -DOUTFILE=<setup.exe> karvo.nsi
; FILES holds karvo.exe, Karvo.chm and karvo.ico. The copy is installed for all users under Program
; Files, with the mark beside karvo.exe that sends each user's backups and favourites to
; %APPDATA%\Karvo. The uninstaller removes what the installer wrote and never touches that folder.
; The 64-bit copy gets a 64-bit installer: it needs no 32-bit layer (Windows' WOW64, or a Wine
; without 32-bit support) and refuses by itself to start on a 32-bit Windows.
!if "${ARCH}" == "win64"
Target amd64-unicode
!else
Target x86-unicode
!endif

!define NAME "Karvo Backup"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Karvo"
!define SHORTCUT "$SMPROGRAMS\${NAME}.lnk"

Name "${NAME}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
!if "${ARCH}" == "win64"
InstallDir "$PROGRAMFILES64\Karvo"
!else
InstallDir "$PROGRAMFILES\Karvo"
!endif
VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${NAME}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "${NAME} Setup"
VIAddVersionKey LegalCopyright "Tolvane"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Both halves work in the machine-wide Start menu and, for the 64-bit copy, in the 64-bit registry
; view, where the system's list of installed programs looks for it.
!macro Context
    SetShellVarContext all
!if "${ARCH}" == "win64"
    SetRegView 64
!endif
!macroend

Function .onInit
    !insertmacro Context
FunctionEnd

Function un.onInit
    !insertmacro Context
FunctionEnd

Section
    SetOutPath "$INSTDIR"
    File "${FILES}\karvo.exe"
    File "${FILES}\Karvo.chm"
    File "${FILES}\karvo.ico"
    FileOpen $0 "$INSTDIR\per-user" w
    FileWrite $0 "This copy of ${NAME} is installed for all users: each user's backups and favourites$\r$\n"
    FileWrite $0 "live in that user's own folder, %APPDATA%\Karvo, not here.$\r$\n"
    FileClose $0
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "${SHORTCUT}" "$INSTDIR\karvo.exe" "" "$INSTDIR\karvo.ico"
    WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "${NAME}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" Publisher "Tolvane"
    WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayIcon "$INSTDIR\karvo.ico"
    WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoModify 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoRepair 1
SectionEnd

Section Uninstall
    Delete "$INSTDIR\karvo.exe"
    Delete "$INSTDIR\Karvo.chm"
    Delete "$INSTDIR\karvo.ico"
    Delete "$INSTDIR\per-user"
    Delete "$INSTDIR\uninstall.exe"
    ; Only when empty: files someone put here are not ours to delete.
    RMDir "$INSTDIR"
    Delete "${SHORTCUT}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
