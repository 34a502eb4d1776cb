@echo off
rem Starts Kelvra with the emulated driver libraries of this folder on PATH.
setlocal
set "PATH=%~dp0;%PATH%"
cd /d "%~dp0.."
start "" Kelvra.exe
