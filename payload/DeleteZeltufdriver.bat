@echo off
rem Removes the USB upper filter of the hub update tool.
rem Needs administrator rights. "fltmc" answers only to an administrator and
rem needs no service ("net session" needs the Server service, which hardened
rem systems turn off). Without the rights the script asks for elevation once:
rem the elevated copy gets "/elevated" and does not ask again, whatever its
rem own test says. Where elevation cannot be asked for (no PowerShell, or
rem declined) it goes on as it is. Where fltmc itself is missing (9009: not
rem found), "net session" answers instead.
set elevated=
fltmc >nul 2>&1
set fltmc_status=%errorlevel%
if "%fltmc_status%"=="0" set elevated=1
if "%fltmc_status%"=="9009" net session >nul 2>&1 && set elevated=1
if /i "%~1"=="/elevated" set elevated=1
if not defined elevated (
  powershell -NoProfile -Command "Start-Process -FilePath '%~f0' -ArgumentList '/elevated' -Verb RunAs -Wait" >nul 2>&1
  if not errorlevel 1 exit /b
)
rundll32.exe setupapi,InstallHinfSection DefaultUninstall 132 %~dp0zeltufdriver.inf
rem A filter list the uninstall left empty goes too: the class key is then as it
rem was before the first install. Other filters keep the list.
set filters=
for /f "tokens=3" %%v in ('reg query "HKLM\SYSTEM\CurrentControlSet\Control\Class\{36FC9E60-C465-11CF-8056-444553540000}" /v UpperFilters 2^>nul ^| find "REG_MULTI_SZ"') do set filters=%%v
if not defined filters reg delete "HKLM\SYSTEM\CurrentControlSet\Control\Class\{36FC9E60-C465-11CF-8056-444553540000}" /v UpperFilters /f >nul 2>&1
