; The Windows installer of Tagshift, made by scripts/release.sh with makensis:
;   makensis -DVERSION=0.3 -DFILEVERSION=0.3.0.0 -DFILES=<folder of the zip's files>
;            -DICON=resources/icon.ico -DOUTFILE=<setup.exe> tagshift.nsi
;
; It installs for the current user only, into %LOCALAPPDATA%\Programs\Tagshift,
; so that no administrator rights are needed; /S installs silently (and
; /D=FOLDER, last on the command line, chooses another folder). The Start-menu
; shortcut starts the program in its own folder, where "I need help!" finds
; readme.txt. "Apps & features" lists it with an uninstaller that removes every
; file it installed and the skip marker skip.col wherever the program left it:
; beside the program, or in %APPDATA%\Tagshift when that folder could not be
; written. Nothing else a user put into the folder is removed.

Target amd64-unicode  ; a 64-bit installer for the 64-bit programs (wine64 runs it alone)
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!ifndef VERSION | FILEVERSION | FILES | ICON | OUTFILE
  !error "VERSION, FILEVERSION, FILES, ICON and OUTFILE must be defined (-DVERSION=...)"
!endif

!define PRODUCT "Tagshift"
!define PUBLISHER "The Tagshift developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tagshift"
!define MARKER "skip.col"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${FILEVERSION}"
VIFileVersion "${FILEVERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}, MIT licence"

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram

!insertmacro MUI_PAGE_LICENSE "${FILES}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The files of the release, the same as the zip's. The uninstaller removes
; exactly these.
!macro TagshiftFiles Action
  !insertmacro ${Action} "tagshift.exe"
  !insertmacro ${Action} "tagshift-convert.exe"
  !insertmacro ${Action} "readme.txt"
  !insertmacro ${Action} "LICENSE.txt"
!macroend
!macro InstallFile Name
  File "${FILES}\${Name}"
!macroend
!macro RemoveFile Name
  Delete "$INSTDIR\${Name}"
!macroend

Function StartProgram
  SetOutPath "$INSTDIR"  ; the program's working folder
  Exec '"$INSTDIR\tagshift.exe"'
FunctionEnd

Section "Tagshift"
  SetOutPath "$INSTDIR"
  !insertmacro TagshiftFiles InstallFile
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The shortcut's working folder is the output folder set above.
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\tagshift.exe" "" "$INSTDIR\tagshift.exe" 0 \
    SW_SHOWNORMAL "" "Convert the object and embed blocks of web pages into script files"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tagshift.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  !insertmacro TagshiftFiles RemoveFile
  Delete "$INSTDIR\${MARKER}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"  ; only when nothing else is left in it

  Delete "$APPDATA\${PRODUCT}\${MARKER}"
  RMDir "$APPDATA\${PRODUCT}"

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
