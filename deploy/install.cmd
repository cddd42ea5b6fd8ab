@echo off
rem Installs korvi-sar: copies the programs from this folder into %ProgramFiles%\Korvi\,
rem registers the task \Korvi\korvi-sar from deploy\korvi-sar.task.xml and starts it for the
rem logged-on user at once (after that it starts at every logon).
rem   install.cmd        from a command prompt run as administrator, in the release's folder
rem Exit codes: 0 installed and started; 5 not elevated, nothing changed; 3 already installed
rem (use update.cmd); 1 a step failed, named on the last line, and nothing is left installed
rem (but for step "start", when it stays installed and starts at the next logon).
setlocal EnableExtensions
set "source=%~dp0"
set "target=%ProgramFiles%\Korvi"
set "task=\Korvi\korvi-sar"
set "programs=korvi-sar.exe korvi-supervisor.exe korvi-capture.exe"

rem Only an administrator can write Program Files and register the task; fltmc answers only
rem an elevated prompt.
"%SystemRoot%\System32\fltmc.exe" >nul 2>&1
if errorlevel 1 (
  >&2 echo install.cmd: refused: run it from a command prompt run as administrator. Nothing was changed.
  exit /b 5
)

set "step=check the release folder"
for %%p in (%programs% deploy\korvi-sar.task.xml) do if not exist "%source%%%p" goto failed
schtasks /Query /TN "%task%" >nul 2>&1
if not errorlevel 1 (
  >&2 echo install.cmd: the task %task% is registered already: run update.cmd to update, or remove.cmd first. Nothing was changed.
  exit /b 3
)

set "step=copy the programs into %target%"
if not exist "%target%\" mkdir "%target%" || goto undo
for %%p in (%programs%) do copy /Y "%source%%%p" "%target%\%%p" >nul || goto undo
echo install.cmd: copied %programs% into %target%

set "step=register the task %task%"
schtasks /Create /XML "%source%deploy\korvi-sar.task.xml" /TN "%task%" >nul || goto undo
echo install.cmd: registered the task %task%

set "step=start"
schtasks /Run /TN "%task%" >nul || goto failed
echo install.cmd: started the task; korvi-sar now runs for the logged-on user
exit /b 0

:undo
rem Nothing of a half install stays: the programs go, and the folder if it is empty.
for %%p in (%programs%) do if exist "%target%\%%p" del /F /Q "%target%\%%p" >nul 2>&1
rmdir "%target%" >nul 2>&1
>&2 echo install.cmd: removed what this run had copied
:failed
>&2 echo install.cmd: failed at step "%step%"
exit /b 1
