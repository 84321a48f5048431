; The VELM installer for Windows: per user, no elevation. Installs the programs into
; %LOCALAPPDATA%\Programs\VELM, a Start menu entry that runs velm-launch.exe (which keeps the
; records in %LOCALAPPDATA%\VELM) and an uninstaller that leaves those records alone.
; makensis -DVERSION=0.8 -DSTAGE=<folder of the zip's files> -DOUTFILE=<setup.exe> velm.nsi
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VELM"

Name "VELM ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\VELM"
InstallDirRegKey HKCU "Software\VELM" "InstallDir"
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "VELM"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\VELM.lnk" "$INSTDIR\velm-launch.exe" "" "$INSTDIR\velm.exe" 0
  WriteRegStr HKCU "Software\VELM" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "VELM ${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velm.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  DetailPrint "Your records will be kept in $LOCALAPPDATA\VELM."
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\VELM.lnk"
  ; Only the program folder goes: the records are elsewhere.
  RMDir /r "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\VELM"
  DetailPrint "Your records stay in $LOCALAPPDATA\VELM (VELM.mdb and its backups)."
  MessageBox MB_OK|MB_ICONINFORMATION "VELM is removed. Your records stay in $LOCALAPPDATA\VELM (VELM.mdb and its backups); delete that folder yourself if you no longer need them." /SD IDOK
SectionEnd
