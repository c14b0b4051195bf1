; BexoLogExport's installer: the program, its two libraries and a
; start-menu entry; the uninstaller takes all of it away again.
; makensis -DBINDIR=<folder with the built files> -DOUTFILE=<installer.exe>
Unicode true
Target amd64-unicode

!ifndef BINDIR
  !error "BINDIR must name the folder holding BexoLogExport.exe"
!endif
!ifndef OUTFILE
  !define OUTFILE "BexoLogExport-setup.exe"
!endif

!define PRODUCT "BexoLog Export Utility"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\BexoLogExport"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\BexoLogExport"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

VIProductVersion "3.0.0.5"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "3, 0, 0, 5"
VIAddVersionKey /LANG=1033 "ProductVersion" "3, 0, 0, 5"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 the Bexo desktop developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "BexoLogExport"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${BINDIR}\BexoLogExport.exe"
  File "${BINDIR}\zelusb.dll"
  File "${BINDIR}\BexoLogParser.dll"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\BexoLog Export"
  CreateShortCut "$SMPROGRAMS\BexoLog Export\Wildlife Log Export.lnk" "$INSTDIR\BexoLogExport.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "3.0.0.5"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\BexoLogExport.exe"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\BexoLogExport.exe"
  Delete "$INSTDIR\zelusb.dll"
  Delete "$INSTDIR\BexoLogParser.dll"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\BexoLog Export\Wildlife Log Export.lnk"
  RMDir "$SMPROGRAMS\BexoLog Export"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
