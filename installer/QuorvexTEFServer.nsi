; The Windows installer of Quorvex TEF Server, built on Debian by scripts/build-installers.sh:
;   makensis -DVERSION=1.2.3.4 -DARCH=x86|x64 -DAPP_X86=dir [-DAPP_X64=dir] -DWEB=dir
;            -DOUTFILE=file QuorvexTEFServer.nsi
; The x86 installer carries the 32-bit build; the x64 one carries both and installs the
; 32-bit build (the one that loads CliSiTef32I.dll) unless the 64-bit library is chosen
; (/ARCH=x64); its tools are the 64-bit ones. Silent use: /S [/ARCH=x64] [/PORT=n] [/PRINTER=name] [/ORIGIN=https://host]
; [/TRUST] [/BROWSERPOLICY] [/DEMO] [/D=folder]; the uninstaller: /S [/REMOVERECORDS].

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include Sections.nsh
!include nsDialogs.nsh

!define PRODUCT "Quorvex TEF Server"
!define SERVICE "QuorvexSiTefService"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuorvexTEFServer"
!define INI "$INSTDIR\${SERVICE}.ini"

; The tools run beside either build: the x64 installer (a 64-bit program itself) carries only
; its 64-bit tools, which keeps it small.
!if ${ARCH} == x64
  !define TOOLS "${APP_X64}"
!else
  !define TOOLS "${APP_X86}"
!endif

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Quorvex"

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
Page custom SettingsPage SettingsPageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "PortugueseBR"

Var Port
Var Printer
Var Origin
Var Upgrade
Var PortField
Var PrinterField
Var OriginField

; ---------------------------------------------------------------- what can be chosen

Section "Quorvex TEF Server" SecService
  SectionIn RO
SectionEnd

!if ${ARCH} == x64
Section /o "Biblioteca CliSiTef de 64 bits (CliSiTef64I.dll)" SecLibrary64
SectionEnd
!endif

Section /o "Confiar no certificado local (CA) neste computador" SecTrust
SectionEnd

!if /FileExists "${TOOLS}\qv-browser-policy.exe"
Section /o "Liberar a página nos navegadores (Local Network Access)" SecBrowserPolicy
SectionEnd
!endif

Section /o "Demonstração (biblioteca simulada e página de demonstração)" SecDemo
SectionEnd

; ---------------------------------------------------------------- the work

!macro ProgramFiles APP
  SetOutPath "$INSTDIR"
  File "${APP}\QuorvexSiTefService.exe"
  File "${TOOLS}\qv-token.exe"
  File "${TOOLS}\qv-certificates.exe"
  !if /FileExists "${TOOLS}\qv-browser-policy.exe"
    File "${TOOLS}\qv-browser-policy.exe"
  !endif
!macroend

!macro DemoLibrary APP LIBRARY
  SetOutPath "$INSTDIR"
  File "${TOOLS}\qv-web-server.exe"
  SetOutPath "$INSTDIR\dll"
  File "${APP}\dll\${LIBRARY}"
  ${IfNot} ${FileExists} "$INSTDIR\dll\clisitef-sim.json"
    File "${APP}\dll\clisitef-sim.json"
  ${EndIf}
!macroend

Section "-install"
  SetShellVarContext all
  ; An upgrade: the running service lets go of its files first.
  ${If} $Upgrade == 1
    DetailPrint "Parando o serviço ${SERVICE}..."
    nsExec::ExecToLog '"$SYSDIR\net.exe" stop ${SERVICE}'
    Pop $0
  ${EndIf}

  CreateDirectory "$INSTDIR\dll"
  !if ${ARCH} == x64
    ${If} ${SectionIsSelected} ${SecLibrary64}
      !insertmacro ProgramFiles "${APP_X64}"
    ${Else}
      !insertmacro ProgramFiles "${APP_X86}"
    ${EndIf}
  !else
    !insertmacro ProgramFiles "${APP_X86}"
  !endif

  ${If} ${SectionIsSelected} ${SecDemo}
    !if ${ARCH} == x64
      ${If} ${SectionIsSelected} ${SecLibrary64}
        !insertmacro DemoLibrary "${APP_X64}" CliSiTef64I.dll
      ${Else}
        !insertmacro DemoLibrary "${APP_X86}" CliSiTef32I.dll
      ${EndIf}
    !else
      !insertmacro DemoLibrary "${APP_X86}" CliSiTef32I.dll
    !endif
    SetOutPath "$INSTDIR\web"
    File /r "${WEB}\*"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "Demo" 1
  ${EndIf}

  ; Certificates only where none are (an upgrade keeps the shop's).
  DetailPrint "Certificados em $INSTDIR\Certificado"
  ${If} ${SectionIsSelected} ${SecTrust}
    nsExec::ExecToLog '"$INSTDIR\qv-certificates.exe" --dir "$INSTDIR\Certificado" --trust'
    Pop $0
    ${If} $0 == 0
      WriteRegDWORD HKLM "${UNINSTALL_KEY}" "TrustedCA" 1
    ${EndIf}
  ${Else}
    nsExec::ExecToLog '"$INSTDIR\qv-certificates.exe" --dir "$INSTDIR\Certificado"'
    Pop $0
  ${EndIf}
  ${If} $0 != 0
    DetailPrint "Aviso: os certificados não foram criados (código $0)."
  ${EndIf}

  Call WriteSettings
  ${If} ${SectionIsSelected} ${SecDemo}
    Call WriteDemoLauncher
  ${EndIf}

  ${IfNot} $Upgrade == 1
    DetailPrint "Registrando o serviço ${SERVICE}..."
    nsExec::ExecToLog '"$INSTDIR\QuorvexSiTefService.exe" INSTALL SILENT'
    Pop $0
    ${If} $0 != 0
      ; A silent install is run by scripts: they learn of it from the exit code.
      DetailPrint "Erro: o serviço ${SERVICE} não foi registrado (código $0)."
      SetErrorLevel 2
    ${EndIf}
  ${EndIf}
  DetailPrint "Iniciando o serviço ${SERVICE}..."
  nsExec::ExecToLog '"$SYSDIR\net.exe" start ${SERVICE}'
  Pop $0
  ${If} $0 != 0
    DetailPrint "Erro: o serviço ${SERVICE} não foi iniciado (código $0)."
    SetErrorLevel 2
  ${EndIf}

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Quorvex"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\QuorvexSiTefService.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; The INI keeps what is there; the values the operator gave (on the page, or /PORT=,
; /PRINTER=, /ORIGIN=) replace theirs.
Function WriteSettings
  ${If} $Port != ""
    WriteINIStr "${INI}" "sitef" "server_port" "$Port"
  ${EndIf}
  ${If} $Printer != ""
    WriteINIStr "${INI}" "sitef" "printer" "$Printer"
  ${EndIf}
  ${If} $Origin == ""
    Return
  ${EndIf}
  WriteINIStr "${INI}" "sitef" "allowed_origins" "$Origin"
  !if /FileExists "${TOOLS}\qv-browser-policy.exe"
    ${If} ${SectionIsSelected} ${SecBrowserPolicy}
      nsExec::ExecToLog '"$INSTDIR\qv-browser-policy.exe" --origin "$Origin"'
      Pop $0
      ${If} $0 != 0
        DetailPrint "Aviso: a política dos navegadores não foi gravada (código $0)."
      ${EndIf}
    ${EndIf}
  !endif
FunctionEnd

;  Demo.cmd: the demo page on https://localhost:8444 with a fresh session token, opened in the
; default browser, until its window is closed. The page is told the service's port.
Function WriteDemoLauncher
  ReadINIStr $1 "${INI}" "sitef" "server_port"
  ${If} $1 == ""
    StrCpy $1 443
  ${EndIf}
  FileOpen $0 "$INSTDIR\Demo.cmd" w
  FileWrite $0 "@echo off$\r$\n"
  FileWrite $0 "rem Serves the demo page on https://localhost:8444 and opens it with a session token.$\r$\n"
  FileWrite $0 'cd /d "%~dp0"$\r$\n'
  FileWrite $0 'for /f "delims=" %%t in ($\'qv-token.exe --secctional_code 12 --ip_address 127.0.0.1 --store_code 00000000 --additional_parameters "" --operator "Caixa 1" --sale_id 1 --company_id 1 --callback_url https://loja.example/retorno$\') do set TOKEN=%%t$\r$\n'
  FileWrite $0 'start "" "https://localhost:8444/?service=wss://localhost:$1&token=%TOKEN%"$\r$\n'
  FileWrite $0 "qv-web-server.exe --port 8444$\r$\n"
  FileClose $0
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\Demonstração.lnk" "$INSTDIR\Demo.cmd"
FunctionEnd

; ---------------------------------------------------------------- the settings page

Function SettingsPage
  !insertmacro MUI_HEADER_TEXT "Configuração" "Porta do serviço, impressora e a página do ponto de venda."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 12u "Porta (wss://localhost:porta):"
  ${NSD_CreateNumber} 0 13u 60u 12u "$Port"
  Pop $PortField
  ${NSD_CreateLabel} 0 32u 100% 12u "Impressora dos PDFs (nome da impressora do Windows):"
  ${NSD_CreateText} 0 45u 100% 12u "$Printer"
  Pop $PrinterField
  ${NSD_CreateLabel} 0 64u 100% 12u "Endereço da página do ponto de venda (https://pdv.loja.example), opcional:"
  ${NSD_CreateText} 0 77u 100% 12u "$Origin"
  Pop $OriginField
  nsDialogs::Show
FunctionEnd

Function SettingsPageLeave
  ${NSD_GetText} $PortField $Port
  ${NSD_GetText} $PrinterField $Printer
  ${NSD_GetText} $OriginField $Origin
  ${If} $Port < 1
  ${OrIf} $Port > 65535
    MessageBox MB_ICONEXCLAMATION "Porta inválida: $Port"
    Abort
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------- start-up

!macro SelectIfOption OPTION SECTION
  ClearErrors
  ${GetOptions} $R0 "${OPTION}" $0
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SECTION}
  ${EndIf}
!macroend

; /ORIGIN=https://host: GetOptions would end the value at its first "/", so it is cut out of
; the command line here, up to the next blank (or between quotes).
Function OriginOption
  ClearErrors
  ${WordFind} "$R0" "/ORIGIN=" "E+1}" $0
  ${If} ${Errors}
    Return
  ${EndIf}
  StrCpy $1 $0 1
  ${If} $1 == '"'
    StrCpy $0 $0 "" 1
    ${WordFind} "$0" '"' "+1{" $0
  ${Else}
    ${WordFind} "$0" " " "+1{" $0
  ${EndIf}
  StrCpy $Origin $0
FunctionEnd

Function .onInit
  SetShellVarContext all
  ${GetParameters} $R0
  StrCpy $Upgrade 0
  ${If} ${FileExists} "$INSTDIR\QuorvexSiTefService.exe"
    StrCpy $Upgrade 1
  ${EndIf}

  ; The page starts from what the INI holds, so an upgrade changes nothing unasked.
  ReadINIStr $Port "${INI}" "sitef" "server_port"
  ReadINIStr $Printer "${INI}" "sitef" "printer"
  ReadINIStr $Origin "${INI}" "sitef" "allowed_origins"
  ${If} $Upgrade == 0
  ${AndIf} $Port == ""
    StrCpy $Port 8443
  ${EndIf}

  ClearErrors
  ${GetOptions} $R0 "/PORT=" $0
  ${IfNot} ${Errors}
    StrCpy $Port $0
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/PRINTER=" $0
  ${IfNot} ${Errors}
    StrCpy $Printer $0
  ${EndIf}
  Call OriginOption
  ClearErrors
  ${GetOptions} $R0 "/ARCH=" $0
  ${IfNot} ${Errors}
    !if ${ARCH} == x64
      ${If} $0 == "x64"
        !insertmacro SelectSection ${SecLibrary64}
      ${EndIf}
    !else
      ${If} $0 == "x64"
        MessageBox MB_ICONSTOP "Este instalador traz apenas a versão de 32 bits; use o instalador x64." /SD IDOK
        Abort
      ${EndIf}
    !endif
  ${EndIf}
  !insertmacro SelectIfOption "/TRUST" ${SecTrust}
  !insertmacro SelectIfOption "/DEMO" ${SecDemo}
  !if /FileExists "${TOOLS}\qv-browser-policy.exe"
    !insertmacro SelectIfOption "/BROWSERPOLICY" ${SecBrowserPolicy}
  !endif
FunctionEnd

; ---------------------------------------------------------------- the uninstaller

Section "un.Quorvex TEF Server" UnSecProgram
  SectionIn RO
  SetShellVarContext all
  DetailPrint "Parando e removendo o serviço ${SERVICE}..."
  nsExec::ExecToLog '"$SYSDIR\net.exe" stop ${SERVICE}'
  Pop $0
  nsExec::ExecToLog '"$INSTDIR\QuorvexSiTefService.exe" UNINSTALL SILENT'
  Pop $0

  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "TrustedCA"
  ${If} $0 == 1
    nsExec::ExecToLog '"$INSTDIR\qv-certificates.exe" --dir "$INSTDIR\Certificado" --untrust'
    Pop $0
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\qv-browser-policy.exe"
    nsExec::ExecToLog '"$INSTDIR\qv-browser-policy.exe" --remove'
    Pop $0
  ${EndIf}

  Delete "$INSTDIR\QuorvexSiTefService.exe"
  Delete "$INSTDIR\qv-token.exe"
  Delete "$INSTDIR\qv-certificates.exe"
  Delete "$INSTDIR\qv-browser-policy.exe"
  Delete "$INSTDIR\qv-web-server.exe"
  Delete "$INSTDIR\Demo.cmd"
  RMDir /r "$SMPROGRAMS\${PRODUCT}"
  Delete "$INSTDIR\${SERVICE}.ini"
  Delete "$INSTDIR\*_Temp.pdf"
  RMDir /r "$INSTDIR\Certificado"
  RMDir /r "$INSTDIR\web"
  ; The demo's simulated library; a library the shop put there is theirs.
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "Demo"
  ${If} $0 == 1
    Delete "$INSTDIR\dll\CliSiTef32I.dll"
    Delete "$INSTDIR\dll\CliSiTef64I.dll"
    Delete "$INSTDIR\dll\clisitef-sim.json"
    Delete "$INSTDIR\dll\clisitef-sim.log"
  ${EndIf}
  RMDir "$INSTDIR\dll"
  Delete "$INSTDIR\Uninstall.exe"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  RMDir "$INSTDIR"
SectionEnd

Section /o "un.Apagar também os registros da loja (Log, TEF, Resultados)" UnSecRecords
  RMDir /r "$INSTDIR\Log"
  RMDir /r "$INSTDIR\TEF"
  RMDir /r "$INSTDIR\Resultados"
  RMDir "$INSTDIR"
SectionEnd

Function un.onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVERECORDS" $0
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecRecords}
  ${EndIf}
FunctionEnd
