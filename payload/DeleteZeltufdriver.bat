@echo off
rem Removes the USB upper filter of the hub update tool.
rem Needs administrator rights: without them ask for elevation and run again.
net session >nul 2>&1
if errorlevel 1 (
  powershell -NoProfile -Command "Start-Process -FilePath '%~f0' -Verb RunAs -Wait"
  exit /b
)
rundll32.exe setupapi,InstallHinfSection DefaultUninstall 132 %~dp0zeltufdriver.inf
