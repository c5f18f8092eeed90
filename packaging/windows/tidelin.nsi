; The Windows installer of Tidelin: the programs and the read-me in one folder, a Start menu
; entry, and an uninstaller listed among the installed programs.
; makensis -DVERSION=1.1.29 -DBIN=<folder of the programs> -DOUT=<installer> tidelin.nsi
Unicode true
; A 64-bit installer for the 64-bit programs (it also runs where Wine has no 32-bit part).
Target amd64-unicode
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tidelin"

Name "Tidelin"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\Tidelin"
RequestExecutionLevel admin
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Russian.nlf"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Tidelin"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${BIN}/tidelin.exe"
  File "${BIN}/tidelin-convert.exe"
  File "${README}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Tidelin"
  CreateShortCut "$SMPROGRAMS\Tidelin\Tidelin.lnk" "$INSTDIR\tidelin.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tidelin"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tidelin.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Tidelin\Tidelin.lnk"
  RMDir "$SMPROGRAMS\Tidelin"
  Delete "$INSTDIR\tidelin.exe"
  Delete "$INSTDIR\tidelin-convert.exe"
  Delete "$INSTDIR\ПРОЧТИ.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
