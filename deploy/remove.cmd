@echo off
rem Removes korvi-sar: ends the running supervisor and service, deletes the task
rem \Korvi\korvi-sar and the programs in %ProgramFiles%\Korvi\. The users' field logs
rem (%LOCALAPPDATA%\Korvi\ of each user) stay, unless /logs is given, which deletes the field
rem log of the user who runs this prompt; other users' logs stay in their profiles.
rem   remove.cmd [/logs]  from a command prompt run as administrator
rem Exit codes: 0 removed; 5 not elevated, nothing changed; 2 an unknown argument, nothing
rem changed; 1 a step failed, named on the last line.
setlocal EnableExtensions
set "target=%ProgramFiles%\Korvi"
set "task=\Korvi\korvi-sar"
set "programs=korvi-sar.exe korvi-supervisor.exe korvi-capture.exe"

set "logs=keep"
if "%~1"=="" goto elevation
if /I not "%~1"=="/logs" goto bad_argument
if not "%~2"=="" goto bad_argument
set "logs=delete"

:elevation

"%SystemRoot%\System32\fltmc.exe" >nul 2>&1
if errorlevel 1 (
  >&2 echo remove.cmd: refused: run it from a command prompt run as administrator. Nothing was changed.
  exit /b 5
)

schtasks /Query /TN "%task%" >nul 2>&1
if errorlevel 1 goto files
set "step=disable the task %task%"
schtasks /Change /TN "%task%" /DISABLE >nul || goto failed
echo remove.cmd: disabled the task
:files
set "step=end the supervisor and the service"
schtasks /End /TN "%task%" >nul 2>&1
taskkill /F /IM korvi-supervisor.exe >nul 2>&1
taskkill /F /IM korvi-sar.exe >nul 2>&1
taskkill /F /IM korvi-capture.exe >nul 2>&1
echo remove.cmd: ended the supervisor and the service

schtasks /Query /TN "%task%" >nul 2>&1
if errorlevel 1 goto programs
set "step=delete the task %task%"
schtasks /Delete /TN "%task%" /F >nul || goto failed
echo remove.cmd: deleted the task %task%
:programs
set "step=delete the programs in %target%"
for %%p in (%programs%) do if exist "%target%\%%p" del /F /Q "%target%\%%p" || goto failed
for %%p in (%programs%) do if exist "%target%\%%p" goto failed
rmdir /S /Q "%target%\update" >nul 2>&1
rmdir /S /Q "%target%\previous" >nul 2>&1
rmdir "%target%" >nul 2>&1
echo remove.cmd: deleted the programs in %target%

if "%logs%"=="keep" (
  echo remove.cmd: kept the users' field logs, %%LOCALAPPDATA%%\Korvi of each user
  exit /b 0
)
set "step=delete the field log in %LOCALAPPDATA%\Korvi"
if exist "%LOCALAPPDATA%\Korvi\" rmdir /S /Q "%LOCALAPPDATA%\Korvi"
if exist "%LOCALAPPDATA%\Korvi\" goto failed
echo remove.cmd: deleted the field log in %LOCALAPPDATA%\Korvi
exit /b 0

:bad_argument
>&2 echo remove.cmd: unknown argument "%~1": expected nothing or /logs. Nothing was changed.
exit /b 2

:failed
>&2 echo remove.cmd: failed at step "%step%"
exit /b 1
