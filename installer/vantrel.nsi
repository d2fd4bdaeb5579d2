; The Vantrel installer: puts VantrelRX.dll into Program Files, registers it, and makes it the
; thumbnail handler of the raw-file extensions. Its uninstaller takes away exactly what the
; installation added. Built by CMake (target "installer"), which defines:
;   VERSION   the product version, e.g. 1.0.29
;   DLL       the path of VantrelRX.dll on the build machine
;   CLSID     the class's CLSID in registry text form
;   OUTFILE   the installer to write
; Silent use: VantrelSetup.exe /S, and "Uninstall Vantrel.exe" /S.

Unicode true
Target amd64-unicode
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define PRODUCT "Vantrel"
; IExtractImage: the shell looks for a thumbnail handler under an extension's shellex\{IID}.
!define THUMBNAIL_HANDLER "{BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}"
!define STATE_KEY "Software\Vantrel\Installer"
!define EXTENSIONS_KEY "Software\Vantrel\Installer\Extensions"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel"
!define UNINSTALLER "Uninstall Vantrel.exe"
!define SHCNE_ASSOCCHANGED 0x08000000

; The raw-file extensions whose thumbnails Vantrel makes.
!macro ForEachExtension MACRO
  !insertmacro ${MACRO} ".3fr"
  !insertmacro ${MACRO} ".arw"
  !insertmacro ${MACRO} ".cr2"
  !insertmacro ${MACRO} ".crw"
  !insertmacro ${MACRO} ".dcr"
  !insertmacro ${MACRO} ".dng"
  !insertmacro ${MACRO} ".erf"
  !insertmacro ${MACRO} ".iiq"
  !insertmacro ${MACRO} ".k25"
  !insertmacro ${MACRO} ".kdc"
  !insertmacro ${MACRO} ".mef"
  !insertmacro ${MACRO} ".mos"
  !insertmacro ${MACRO} ".mrw"
  !insertmacro ${MACRO} ".nef"
  !insertmacro ${MACRO} ".nrw"
  !insertmacro ${MACRO} ".orf"
  !insertmacro ${MACRO} ".pef"
  !insertmacro ${MACRO} ".raf"
  !insertmacro ${MACRO} ".rdc"
  !insertmacro ${MACRO} ".rw2"
  !insertmacro ${MACRO} ".rwl"
  !insertmacro ${MACRO} ".sr2"
  !insertmacro ${MACRO} ".srf"
  !insertmacro ${MACRO} ".srw"
  !insertmacro ${MACRO} ".x3f"
!macroend

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
ShowInstDetails show
ShowUninstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "The Vantrel Project"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 The Vantrel Project"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; ---- Binding one extension ----
;
; What the installation found is kept under HKLM\${EXTENSIONS_KEY}, one value per extension:
;   key       the extension's key did not exist: the installation created it
;   shellex   the extension existed without a shellex key
;   handler   shellex existed without a thumbnail handler
;   value     the handler key existed without a default value
;   replaced  the handler key named another class, kept in "<ext> previous"
; An extension already bound to Vantrel (a repeated installation) keeps its first record.

; $R0: the extension.
Function BindExtension
  ReadRegStr $R1 HKCR "$R0\shellex\${THUMBNAIL_HANDLER}" ""
  StrCmp $R1 "${CLSID}" bound
  ; A key exists when enumerating its subkeys raises no error.
  ClearErrors
  EnumRegKey $R2 HKCR "$R0" 0
  StrCpy $R2 "key"
  IfErrors record
  EnumRegKey $R2 HKCR "$R0\shellex" 0
  StrCpy $R2 "shellex"
  IfErrors record
  EnumRegKey $R2 HKCR "$R0\shellex\${THUMBNAIL_HANDLER}" 0
  StrCpy $R2 "handler"
  IfErrors record
  ReadRegStr $R1 HKCR "$R0\shellex\${THUMBNAIL_HANDLER}" ""
  StrCpy $R2 "value"
  IfErrors record
  StrCpy $R2 "replaced"
  WriteRegStr HKLM "${EXTENSIONS_KEY}" "$R0 previous" "$R1"
record:
  WriteRegStr HKLM "${EXTENSIONS_KEY}" "$R0" "$R2"
  WriteRegStr HKCR "$R0\shellex\${THUMBNAIL_HANDLER}" "" "${CLSID}"
  DetailPrint "Thumbnails of $R0 files: Vantrel"
bound:
FunctionEnd

!macro Bind EXT
  StrCpy $R0 "${EXT}"
  Call BindExtension
!macroend

; $R0: the extension. Undoes what BindExtension recorded, as long as the handler still names
; Vantrel; a handler that something else has changed since is left alone.
Function un.UnbindExtension
  ClearErrors
  ReadRegStr $R2 HKLM "${EXTENSIONS_KEY}" "$R0"
  IfErrors done
  ReadRegStr $R1 HKCR "$R0\shellex\${THUMBNAIL_HANDLER}" ""
  StrCmp $R1 "${CLSID}" 0 forget
  StrCmp $R2 "replaced" 0 not_replaced
  ReadRegStr $R1 HKLM "${EXTENSIONS_KEY}" "$R0 previous"
  WriteRegStr HKCR "$R0\shellex\${THUMBNAIL_HANDLER}" "" "$R1"
  Goto forget
not_replaced:
  StrCmp $R2 "value" 0 created_keys
  DeleteRegValue HKCR "$R0\shellex\${THUMBNAIL_HANDLER}" ""
  Goto forget
created_keys:
  ; "handler", "shellex" or "key": the keys it created go, each only while nothing else has
  ; been put into it since.
  DeleteRegValue HKCR "$R0\shellex\${THUMBNAIL_HANDLER}" ""
  DeleteRegKey /ifempty HKCR "$R0\shellex\${THUMBNAIL_HANDLER}"
  StrCmp $R2 "handler" forget
  DeleteRegKey /ifempty HKCR "$R0\shellex"
  StrCmp $R2 "shellex" forget
  DeleteRegKey /ifempty HKCR "$R0"
forget:
  DeleteRegValue HKLM "${EXTENSIONS_KEY}" "$R0"
  DeleteRegValue HKLM "${EXTENSIONS_KEY}" "$R0 previous"
  DetailPrint "Thumbnails of $R0 files: Vantrel removed"
done:
FunctionEnd

!macro Unbind EXT
  StrCpy $R0 "${EXT}"
  Call un.UnbindExtension
!macroend

; ---- Installation ----

Section "Vantrel"
  SetRegView 64
  SetOutPath "$INSTDIR"
  File "/oname=VantrelRX.dll" "${DLL}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ClearErrors
  RegDLL "$INSTDIR\VantrelRX.dll"
  IfErrors 0 registered
    MessageBox MB_OK|MB_ICONSTOP "VantrelRX.dll could not be registered." /SD IDOK
    SetErrorLevel 3
    Abort
registered:
  DetailPrint "Registered VantrelRX.dll"

  !insertmacro ForEachExtension Bind
  WriteRegStr HKLM "${STATE_KEY}" "InstallDir" "$INSTDIR"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Vantrel Project"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\VantrelRX.dll,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd

; ---- Uninstallation ----

Section "Uninstall"
  SetRegView 64
  !insertmacro ForEachExtension Unbind

  ClearErrors
  UnRegDLL "$INSTDIR\VantrelRX.dll"
  IfErrors 0 +2
    DetailPrint "VantrelRX.dll could not be unregistered."

  Delete /REBOOTOK "$INSTDIR\VantrelRX.dll"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir /REBOOTOK "$INSTDIR"

  DeleteRegValue HKLM "${STATE_KEY}" "InstallDir"
  DeleteRegKey /ifempty HKLM "${EXTENSIONS_KEY}"
  DeleteRegKey /ifempty HKLM "${STATE_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Vantrel"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd
