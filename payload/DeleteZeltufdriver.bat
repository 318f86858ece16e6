@echo off
rem Removes the USB upper filter of the hub update tool.
rem Needs administrator rights: without them ask for elevation and run again.
net session >nul 2>&1
if errorlevel 1 (
  powershell -NoProfile -Command "Start-Process -FilePath '%~f0' -Verb RunAs -Wait"
  exit /b
)
rundll32.exe setupapi,InstallHinfSection DefaultUninstall 132 %~dp0zeltufdriver.inf
rem A filter list the uninstall left empty goes too: the class key is then as it
rem was before the first install. Other filters keep the list.
set filters=
for /f "tokens=3" %%v in ('reg query "HKLM\SYSTEM\CurrentControlSet\Control\Class\{36FC9E60-C465-11CF-8056-444553540000}" /v UpperFilters 2^>nul ^| find "REG_MULTI_SZ"') do set filters=%%v
if not defined filters reg delete "HKLM\SYSTEM\CurrentControlSet\Control\Class\{36FC9E60-C465-11CF-8056-444553540000}" /v UpperFilters /f >nul 2>&1
