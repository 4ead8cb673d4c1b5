@echo off
setlocal EnableExtensions DisableDelayedExpansion
rem Runs the package that current.txt on SHARE names, once per version of
rem it, at each start of the PC, and records each run on ZRLOGS. Change
rem the three set lines below; the next version changes current.txt only.
set "SHARE=\\server\share"
set "ZRLOGS=\\server\zrlogs"
set "NAME=tavix-driver"
rem Markers, lock and console. Administrators, SYSTEM and Power Users may
rem write here: a marker stops the update on this PC.
set "STATE=%SystemRoot%\ZRDEPLOY"

if not exist "%STATE%\" mkdir "%STATE%"
rem The lock of earlier versions of this script, a folder a stopped run
rem left behind: the lock is now NAME.held.
if exist "%STATE%\%NAME%.lock\" rd "%STATE%\%NAME%.lock"
rem The lock: cmd holds NAME.held open for writing, without write sharing,
rem while :main runs (and so do the programs it starts), so that a second
rem run's open fails and its :main never starts. Windows closes the handle
rem when its holder ends, however it ends: a kill, a time-out, a power cut.
rem :main sets HELD first, which tells a refused lock from its exit code.
set "HELD="
call :main 9>>"%STATE%\%NAME%.held"
if defined HELD exit /b %errorlevel%
call :say "%STATE%\%NAME%.held cannot be opened: another run of this script holds it, or this account cannot write there."
call :tell "not run: %STATE%\%NAME%.held is held"
exit /b 1

:main
set "HELD=1"
rem The network may come up after the script starts (XP starts it before
rem the network by default): current.txt is looked for up to 7 times, 10
rem seconds apart. ping sends its 11 echoes a second apart.
set "TRIES=1"
:wait
if exist "%SHARE%\current.txt" goto share
if %TRIES% geq 7 goto share
set /a TRIES+=1
ping -n 11 127.0.0.1 >nul
goto wait
:share
rem current.txt names the package's folder on SHARE, in its first line.
set "DIR="
if exist "%SHARE%\current.txt" for /f "usebackq delims=" %%f in ("%SHARE%\current.txt") do if not defined DIR set "DIR=%%f"
set "PKG=%SHARE%\%DIR%"
rem Without a version, nothing runs and nothing is marked: a run keyed on
rem nothing would pass the done marker.
call :version "%STATE%\%NAME%.new"
set "NEWKEY=%KEY%"
if not "%NEWKEY%"=="" goto known
call :say "%PKG%\version.id cannot be read, or names no version: nothing run."
call :tell "not run: version.id cannot be read"
exit /b 1
:known
call :key "%STATE%\%NAME%.done"
if "%KEY%"=="%NEWKEY%" exit /b 0
rem Not applicable (99) to this version: tried again at every 10th start.
call :key "%STATE%\%NAME%.na"
if not "%KEY%"=="%NEWKEY%" goto run
set "COUNT=0"
if exist "%STATE%\%NAME%.count" set /p COUNT=<"%STATE%\%NAME%.count"
set /a COUNT+=1
if %COUNT% geq 10 goto run
>"%STATE%\%NAME%.count" echo %COUNT%
exit /b 0

:run
if exist "%STATE%\%NAME%.count" del "%STATE%\%NAME%.count"
call :tell "started"
rem Started in the package folder, so that a run that stops before the
rem update records its result with the package's version.id. A network
rem folder cannot be current: pushd maps a drive letter to it.
set rc=1
call :no_error
pushd "%PKG%" 2>nul
if errorlevel 1 goto unreachable
"%PKG%\zoderudo.exe" "%PKG%" >"%STATE%\%NAME%.console.txt" 2>&1
set rc=%errorlevel%
popd
goto ran
:unreachable
call :say "%PKG% cannot be reached." >"%STATE%\%NAME%.console.txt"
:ran
call :tell "exit code %rc%"
copy /y "%STATE%\%NAME%.console.txt" "%ZRLOGS%\%COMPUTERNAME%.console.txt" >nul
if exist "%SystemDrive%\ZRLOG\ZR.log" copy /y "%SystemDrive%\ZRLOG\ZR.log" "%ZRLOGS%\%COMPUTERNAME%.log" >nul
rem A version.id that changed during the run (a package copied over in
rem place) or cannot be read again: what ran is not known, so nothing is
rem marked and the next start runs what is there then.
call :version "%STATE%\%NAME%.after"
set "AFTER=%KEY%"
if "%AFTER%"=="%NEWKEY%" call :markers
if not "%AFTER%"=="%NEWKEY%" call :tell "nothing marked: version.id changed during the run"
exit /b %rc%

:markers
rem 0 marks the version done. 3010 and 1641 run it once more at the next
rem start, after the restart; 0, 3010 or 1641 from that run marks it done.
rem 99 marks it not applicable. Any other code marks nothing.
call :key "%STATE%\%NAME%.restart"
set "RESTARTED=%KEY%"
if exist "%STATE%\%NAME%.restart" del "%STATE%\%NAME%.restart"
if exist "%STATE%\%NAME%.na" del "%STATE%\%NAME%.na"
set "DONE="
if "%rc%"=="0" set "DONE=1"
if "%rc%"=="3010" if "%RESTARTED%"=="%NEWKEY%" set "DONE=1"
if "%rc%"=="1641" if "%RESTARTED%"=="%NEWKEY%" set "DONE=1"
if defined DONE copy /y "%STATE%\%NAME%.new" "%STATE%\%NAME%.done" >nul
if defined DONE goto :eof
if "%rc%"=="3010" copy /y "%STATE%\%NAME%.new" "%STATE%\%NAME%.restart" >nul
if "%rc%"=="1641" copy /y "%STATE%\%NAME%.new" "%STATE%\%NAME%.restart" >nul
if "%rc%"=="99" copy /y "%STATE%\%NAME%.new" "%STATE%\%NAME%.na" >nul
goto :eof

:no_error
rem mkdir and pushd set the errorlevel when they fail, not when they work.
exit /b 0

:version
rem KEY becomes the key of the package's version.id, copied to %1.
if exist %1 del %1
copy /y "%PKG%\version.id" %1 >nul 2>nul
:key
rem KEY becomes the lines of the file %1, each after a slash, but for blank
rem lines and lines that begin with a semicolon; empty without the file.
set "KEY="
if not exist %1 goto :eof
for /f "usebackq eol=; delims=" %%v in (%1) do call :addline "%%v"
goto :eof
:addline
if not "%~1"=="" set "KEY=%KEY%/%~1"
goto :eof

:say
rem Echoes %1 without its quotes: a for variable's value is not parsed
rem again, so &, ( and ) in a name are echoed as they are.
for %%m in (%1) do echo %%~m
goto :eof

:tell
rem Appends the date, the time, NAME and %1 to this PC's file on ZRLOGS.
call :say "%DATE% %TIME% %NAME% %~1" >>"%ZRLOGS%\%COMPUTERNAME%.txt"
goto :eof
