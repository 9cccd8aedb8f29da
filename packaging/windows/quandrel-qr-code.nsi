; The Windows installer of Quandrel QR Code: the window (quandrel-qr-code.exe) and the command line
; (quandrel-qr.exe) for one user, without administrator rights, under
; %LOCALAPPDATA%\Programs\Quandrel QR Code; a Start-menu entry for the window; the folder on the
; user's PATH when asked for; an uninstaller in "Apps & features".
;
; Built by the Windows build (target windows-installer), which gives every file and the version:
;   makensis -DVERSION=1.0.0 -DPUBLISHER="Quandrel Software" -DWINDOW_EXE=... -DCLI_EXE=...
;            -DREADME=README.txt -DLICENCE=copyright.txt -DICON=quandrel-qr-code.ico
;            -DOUTFILE=quandrel-qr-code-1.0.0-windows-x64-setup.exe quandrel-qr-code.nsi
;
; Command line of the installer: /S silent; /PATH=yes or /PATH=no puts the command line on the
; PATH or leaves it off (the default is off, or the choice of the version installed before);
; /D=FOLDER (last) the folder. The uninstaller takes /S.
;
; The texts are Portuguese, like the window's and like the language of the programs' version
; resources (0x0416), through NSIS's own Brazilian Portuguese strings.

Unicode true
; The 64-bit stub: the installer is a 64-bit program like the ones it installs, and runs where
; only 64-bit programs do (Wine without its 32-bit half).
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel user

!macro Required NAME
  !ifndef ${NAME}
    !error "${NAME} is not defined: the build gives it (-D${NAME}=...)"
  !endif
!macroend
!insertmacro Required VERSION
!insertmacro Required PUBLISHER
!insertmacro Required WINDOW_EXE
!insertmacro Required README
!insertmacro Required LICENCE
!insertmacro Required ICON
!insertmacro Required OUTFILE
!insertmacro Required CLI_EXE

!define PRODUCT "Quandrel QR Code"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuandrelQRCode"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include Sections.nsh

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; Over an installed version, its folder.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1046 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1046 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1046 "FileDescription" "Instalador de ${PRODUCT}"
VIAddVersionKey /LANG=1046 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1046 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1046 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\quandrel-qr-code.exe"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "PortugueseBR"

; The user's PATH is HKCU\Environment's value Path, REG_SZ or REG_EXPAND_SZ (when it holds
; %VARIABLES%). NSIS strings hold NSIS_MAX_STRLEN characters, and a longer value would be read
; as nothing and written back cut: such a PATH is left as it is and the user told so.
;
; PathEntries PATH ENTRY: the PATH without every entry that is ENTRY (case aside, with or without
; a last backslash), every other entry and separator kept as they were, in $R0; the number of
; entries left out in $R1. Appending ";ENTRY" and then leaving it out gives the PATH back byte for
; byte.
!macro PathEntriesFunction PREFIX
Function ${PREFIX}PathEntries
  Exch $R3 ; the entry
  Exch
  Exch $R2 ; the PATH
  Push $R4
  Push $R5
  Push $R6
  Push $R7
  StrCpy $R0 ""
  StrCpy $R1 0
  StrCpy $R7 0 ; 1 once an entry has been kept: the next one gets its separator
  ${Do}
    ; $R4: the next entry, up to the next ";" or the end.
    StrCpy $R5 0
    ${Do}
      StrCpy $R6 $R2 1 $R5
      ${IfThen} $R6 == "" ${|} ${ExitDo} ${|}
      ${IfThen} $R6 == ";" ${|} ${ExitDo} ${|}
      IntOp $R5 $R5 + 1
    ${Loop}
    StrCpy $R4 $R2 $R5
    ${If} $R4 == $R3
    ${OrIf} $R4 == "$R3\"
      IntOp $R1 $R1 + 1
    ${ElseIf} $R7 = 0
      StrCpy $R0 $R4
      StrCpy $R7 1
    ${Else}
      StrCpy $R0 "$R0;$R4"
    ${EndIf}
    ${IfThen} $R6 == "" ${|} ${ExitDo} ${|}
    IntOp $R5 $R5 + 1
    StrCpy $R2 $R2 "" $R5
  ${Loop}
  Pop $R7
  Pop $R6
  Pop $R5
  Pop $R4
  Pop $R2
  Pop $R3
FunctionEnd

; ReadPath: the user's PATH in $R0 and its type in $R1 (0 when there is none, REG_SZ 1,
; REG_EXPAND_SZ 2); the error flag set when it cannot be read whole or is of another type.
Function ${PREFIX}ReadPath
  Push $R2
  Push $R3
  StrCpy $R0 ""
  StrCpy $R1 0
  ClearErrors
  System::Call 'advapi32::RegOpenKeyExW(p 0x80000001, w "Environment", i 0, i ${KEY_QUERY_VALUE}, *p .R2) i .R3'
  ${If} $R3 = 0
    ; The value's type and size in bytes, with its terminating null.
    System::Call 'advapi32::RegQueryValueExW(p R2, w "Path", p 0, *i .R1, p 0, *i 0 .R3) i .s'
    System::Call 'advapi32::RegCloseKey(p R2)'
    Pop $R2
    ${If} $R2 = 0
      ${If} $R1 <> ${REG_SZ}
      ${AndIf} $R1 <> ${REG_EXPAND_SZ}
        SetErrors
      ${ElseIf} $R3 >= ${NSIS_MAX_STRLEN_BYTES}
        SetErrors
      ${Else}
        ReadRegStr $R0 HKCU "Environment" "Path"
      ${EndIf}
    ${Else}
      StrCpy $R1 0
    ${EndIf}
  ${EndIf}
  Pop $R3
  Pop $R2
FunctionEnd

; WritePath: $R0 as the user's PATH, of type $R1 (REG_EXPAND_SZ for a new value), or no value
; when $R0 is empty; then every window is told the environment changed.
Function ${PREFIX}WritePath
  ${If} $R0 == ""
    DeleteRegValue HKCU "Environment" "Path"
  ${ElseIf} $R1 = ${REG_SZ}
    WriteRegStr HKCU "Environment" "Path" $R0
  ${Else}
    WriteRegExpandStr HKCU "Environment" "Path" $R0
  ${EndIf}
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
FunctionEnd
!macroend
!define /math NSIS_MAX_STRLEN_BYTES ${NSIS_MAX_STRLEN} * 2
; A string cut to the limit is this long: one that reaches it may have been cut.
!define /math NSIS_MAX_CHARS ${NSIS_MAX_STRLEN} - 1
!define KEY_QUERY_VALUE 0x0001
!define REG_SZ 1
!define REG_EXPAND_SZ 2
!insertmacro PathEntriesFunction ""
!insertmacro PathEntriesFunction "un."

Section "!${PRODUCT}" SectionProgram
  SectionIn RO
  ; An installed version is removed first by its own uninstaller, which knows its files: those
  ; this version no longer has go too. It runs from its folder (_?=) and is waited for.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\uninstall.exe"
    DetailPrint "Removendo a versão instalada antes em $0"
    ExecWait '"$0\uninstall.exe" /S _?=$0' $1
    Delete "$0\uninstall.exe"
    RMDir "$0"
  ${EndIf}

  ; The outermost folder that installing makes ($LOCALAPPDATA\Programs on a new account), for the
  ; uninstaller to take away again when it is empty; none when $INSTDIR is there already.
  StrCpy $2 "$INSTDIR"
  StrCpy $3 ""
  ${DoUntil} ${FileExists} "$2\*.*"
    StrCpy $3 $2
    ${GetParent} $2 $2
    ${IfThen} $2 == "" ${|} ${ExitDo} ${|}
  ${Loop}

  SetOutPath "$INSTDIR"
  File "/oname=quandrel-qr-code.exe" "${WINDOW_EXE}"
  File "/oname=quandrel-qr.exe" "${CLI_EXE}"
  File "/oname=README.txt" "${README}"
  File "/oname=copyright.txt" "${LICENCE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\quandrel-qr-code.exe" "" "$INSTDIR\quandrel-qr-code.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quandrel-qr-code.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${If} $3 != ""
    WriteRegStr HKCU "${UNINSTALL_KEY}" "MadeFolder" $3
  ${EndIf}
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Linha de comando (quandrel-qr) no PATH" SectionPath
  Call ReadPath
  ${If} ${Errors}
    MessageBox MB_ICONEXCLAMATION|MB_OK "O PATH do usuário é longo demais para ser alterado pelo instalador e ficou como estava. Para usar quandrel-qr de qualquer pasta, acrescente a ele:$\r$\n$INSTDIR" /SD IDOK
    DetailPrint "PATH não alterado: longo demais"
  ${Else}
    Push $R0
    Push "$INSTDIR"
    Call PathEntries
    ${If} $R1 > 0
      DetailPrint "$INSTDIR já está no PATH"
    ${Else}
      Call ReadPath
      StrLen $0 "$R0;$INSTDIR"
      ; A PATH that ends in ";" already has the separator: another would make an empty entry,
      ; where some programs (Wine's cmd among them) stop searching. The uninstaller puts that
      ; last ";" back (PathEndsInSeparator).
      StrCpy $1 $R0 1 -1
      StrCpy $2 0
      ${If} $R0 == ""
        StrCpy $R0 "$INSTDIR"
      ${ElseIf} $1 == ";"
        StrCpy $R0 "$R0$INSTDIR"
        StrCpy $2 1
      ${Else}
        StrCpy $R0 "$R0;$INSTDIR"
      ${EndIf}
      ${If} $0 >= ${NSIS_MAX_CHARS}
        MessageBox MB_ICONEXCLAMATION|MB_OK "O PATH do usuário ficaria longo demais para o instalador e ficou como estava. Para usar quandrel-qr de qualquer pasta, acrescente a ele:$\r$\n$INSTDIR" /SD IDOK
        DetailPrint "PATH não alterado: ficaria longo demais"
        Return
      ${EndIf}
      Call WritePath
      ; The uninstaller takes out only the entry that this installer put in.
      WriteRegStr HKCU "${UNINSTALL_KEY}" "PathEntry" "$INSTDIR"
      WriteRegDWORD HKCU "${UNINSTALL_KEY}" "PathEndsInSeparator" $2
      DetailPrint "$INSTDIR acrescentado ao PATH"
    ${EndIf}
  ${EndIf}
SectionEnd

Function .onInit
  ; /PATH=yes or /PATH=no; without it the choice of the version installed before, else off.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PATH=" $1
  ${IfNot} ${Errors}
    ${If} $1 == "yes"
      !insertmacro SelectSection ${SectionPath}
    ${ElseIf} $1 == "no"
      !insertmacro UnselectSection ${SectionPath}
    ${Else}
      MessageBox MB_ICONSTOP|MB_OK "/PATH= pede yes ou no, não $\"$1$\"." /SD IDOK
      Abort
    ${EndIf}
  ${Else}
    ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "PathEntry"
    ${If} $1 != ""
      !insertmacro SelectSection ${SectionPath}
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; Only what the installer put here, file by file: the folder itself goes only when nothing
  ; else is left in it.
  Delete "$INSTDIR\quandrel-qr-code.exe"
  Delete "$INSTDIR\quandrel-qr.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\copyright.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ; The folders above it that installing made, while they are empty.
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "MadeFolder"
  ${If} $1 != ""
    StrCpy $2 "$INSTDIR"
    ${Do}
      ${IfThen} $2 == $1 ${|} ${ExitDo} ${|}
      ; A folder left in place holds something else: so do those above it.
      ${IfThen} ${FileExists} "$2\*.*" ${|} ${ExitDo} ${|}
      ${GetParent} $2 $2
      ${IfThen} $2 == "" ${|} ${ExitDo} ${|}
      RMDir $2
    ${Loop}
  ${EndIf}
  Delete "${SHORTCUT}"

  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "PathEntry"
  ${If} $0 != ""
    Call un.ReadPath
    ${If} ${Errors}
      MessageBox MB_ICONEXCLAMATION|MB_OK "O PATH do usuário é longo demais para ser alterado e ficou como estava; tire dele:$\r$\n$0" /SD IDOK
    ${Else}
      Push $R0
      Push $0
      Call un.PathEntries
      ${If} $R1 > 0
        ; The last ";" that the installer's entry took the place of.
        ReadRegDWORD $1 HKCU "${UNINSTALL_KEY}" "PathEndsInSeparator"
        StrCpy $2 $R0 1 -1
        ${If} $1 = 1
        ${AndIf} $R0 != ""
        ${AndIf} $2 != ";"
          StrCpy $R0 "$R0;"
        ${EndIf}
        Push $R0
        Call un.ReadPath ; the type
        Pop $R0
        Call un.WritePath
        DetailPrint "$0 retirado do PATH"
      ${EndIf}
    ${EndIf}
  ${EndIf}
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Its parent too, when this key was its only one.
  DeleteRegKey /ifempty HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall"
SectionEnd
