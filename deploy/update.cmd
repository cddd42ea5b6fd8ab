@echo off
rem Updates an installed korvi-sar to this folder's programs: disables the task, ends the
rem running supervisor and service, replaces the programs in %ProgramFiles%\Korvi\, enables
rem the task and starts it again. The task's registration and settings stay as they are.
rem   update.cmd         from a command prompt run as administrator, in the release's folder
rem Exit codes: 0 updated and started; 5 not elevated, nothing changed; 4 not installed (use
rem install.cmd); 1 a step failed, named on the last line: the old programs are back in place
rem and the task enabled and started again.
setlocal EnableExtensions
set "source=%~dp0"
set "target=%ProgramFiles%\Korvi"
set "task=\Korvi\korvi-sar"
set "programs=korvi-sar.exe korvi-supervisor.exe korvi-capture.exe"

"%SystemRoot%\System32\fltmc.exe" >nul 2>&1
if errorlevel 1 (
  >&2 echo update.cmd: refused: run it from a command prompt run as administrator. Nothing was changed.
  exit /b 5
)

set "step=check the release folder"
for %%p in (%programs%) do if not exist "%source%%%p" goto failed
schtasks /Query /TN "%task%" >nul 2>&1
if errorlevel 1 (
  >&2 echo update.cmd: the task %task% is not registered: run install.cmd. Nothing was changed.
  exit /b 4
)

rem The new programs go beside the old ones first, so that the swap below is a few renames.
set "step=copy the new programs into %target%\update"
if exist "%target%\update\" rmdir /S /Q "%target%\update"
mkdir "%target%\update" || goto failed
for %%p in (%programs%) do copy /Y "%source%%%p" "%target%\update\%%p" >nul || goto drop_copies
echo update.cmd: copied the new programs into %target%\update

rem Disabled first, so that the task's repetition cannot start the supervisor again while it
rem is being ended; then the task's instance, and any supervisor or service still running
rem (another user's session, a capture), since Windows keeps a running exe's file locked.
set "step=disable the task %task%"
schtasks /Change /TN "%task%" /DISABLE >nul || goto drop_copies
echo update.cmd: disabled the task
set "step=end the supervisor and the service"
schtasks /End /TN "%task%" >nul 2>&1
taskkill /F /IM korvi-supervisor.exe >nul 2>&1
taskkill /F /IM korvi-sar.exe >nul 2>&1
taskkill /F /IM korvi-capture.exe >nul 2>&1
echo update.cmd: ended the supervisor and the service

set "step=replace the programs in %target%"
if exist "%target%\previous\" rmdir /S /Q "%target%\previous"
mkdir "%target%\previous" || goto restart
for %%p in (%programs%) do if exist "%target%\%%p" move /Y "%target%\%%p" "%target%\previous\%%p" >nul || goto put_back
for %%p in (%programs%) do move /Y "%target%\update\%%p" "%target%\%%p" >nul || goto put_back
echo update.cmd: replaced %programs%
rmdir /S /Q "%target%\previous" >nul 2>&1
rmdir /S /Q "%target%\update" >nul 2>&1

set "step=enable the task %task%"
schtasks /Change /TN "%task%" /ENABLE >nul || goto failed
echo update.cmd: enabled the task
set "step=start"
schtasks /Run /TN "%task%" >nul || goto failed
echo update.cmd: started the task; the new version runs
exit /b 0

:put_back
rem The old version whole, never half of each: every old program that was moved aside goes
rem back, over any new one that had taken its place.
for %%p in (%programs%) do if exist "%target%\previous\%%p" move /Y "%target%\previous\%%p" "%target%\%%p" >nul
rmdir "%target%\previous" >nul 2>&1
>&2 echo update.cmd: put the old programs back
:restart
schtasks /Change /TN "%task%" /ENABLE >nul 2>&1
schtasks /Run /TN "%task%" >nul 2>&1
>&2 echo update.cmd: enabled and started the task again, with the old programs
:drop_copies
rmdir /S /Q "%target%\update" >nul 2>&1
:failed
>&2 echo update.cmd: failed at step "%step%"
exit /b 1
