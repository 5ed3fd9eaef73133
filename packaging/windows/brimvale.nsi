; The Windows installer: per user, without administrator rights, into the user's own programs
; folder, with a Start-menu shortcut and an uninstaller. scripts/windows.sh package defines
; VERSION, STAGE (the folder of the zip's contents) and OUTFILE.
; A 64-bit installer for a 64-bit program: it runs where the program does, wine64 included.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define APPNAME "Brimvale"
!define UNINSTALLKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Brimvale"

Name "${APPNAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APPNAME}"
InstallDirRegKey HKCU "${UNINSTALLKEY}" "InstallLocation"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${APPNAME}.lnk" "$INSTDIR\brimvale.exe"
    WriteRegStr HKCU "${UNINSTALLKEY}" "DisplayName" "${APPNAME}"
    WriteRegStr HKCU "${UNINSTALLKEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALLKEY}" "DisplayIcon" "$INSTDIR\brimvale.exe"
    WriteRegStr HKCU "${UNINSTALLKEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALLKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegDWORD HKCU "${UNINSTALLKEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALLKEY}" "NoRepair" 1
SectionEnd

; The program's files go; the diary, its backups and the settings in the user's application
; data folder stay, as they are the user's own.
Section "Uninstall"
    SetShellVarContext current
    Delete "$SMPROGRAMS\${APPNAME}.lnk"
    RMDir /r "$INSTDIR\platforms"
    RMDir /r "$INSTDIR\styles"
    Delete "$INSTDIR\*.dll"
    Delete "$INSTDIR\brimvale.exe"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALLKEY}"
SectionEnd
