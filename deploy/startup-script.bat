@echo off
setlocal EnableExtensions DisableDelayedExpansion
rem Runs SHARE\current.txt's package until done. Change these set lines:
set "SHARE=\\server\share"
set "ZRLOGS=\\server\zrlogs"
set "NAME=tavix-driver"
set "STATE=%SystemRoot%\ZRDEPLOY"

if not exist "%STATE%\" mkdir "%STATE%"
if defined ZRCOPY goto main
rem An older script's lock, left by a stopped run.
if exist "%STATE%\%NAME%.lock\" rd "%STATE%\%NAME%.lock"
rem The lock: NAME.held, open without write sharing while :locked runs,
rem closes with its holders. HELD stays unset when it cannot be opened.
set "HELD="
call :locked 9>>"%STATE%\%NAME%.held"
if defined HELD exit /b %errorlevel%
call :say "%STATE%\%NAME%.held is in use by another run, or cannot be written."
call :tell "not run: %NAME%.held is in use"
exit /b 1

:locked
set "HELD=1"
rem From a copy on the PC: cmd reads a script as it runs, network or not.
set "ZRCOPY=1"
copy /y "%~f0" "%STATE%\%NAME%.bat" >nul || goto main
call "%STATE%\%NAME%.bat"
exit /b %errorlevel%

:main
call :reach
set "DIR="
if exist "%SHARE%\current.txt" for /f "usebackq delims=" %%f in ("%SHARE%\current.txt") do if not defined DIR set "DIR=%%f"
if defined DIR goto named
call :say "%SHARE%\current.txt cannot be read or names no folder."
call :tell "not run: current.txt names no folder"
exit /b 1
:named
set "PKG=%SHARE%\%DIR%"
call :version "%STATE%\%NAME%.new"
set "NEWKEY=%KEY%"
if not "%NEWKEY%"=="" goto known
call :say "%PKG%\version.id cannot be read or names no version."
call :tell "not run: version.id cannot be read"
exit /b 1
:known
call :key "%STATE%\%NAME%.done"
if "%KEY%"=="%NEWKEY%" goto push
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
set rc=1
call :no_error
pushd "%PKG%" 2>nul
if errorlevel 1 goto unreachable
"%PKG%\zoderudo.exe" "%PKG%" >"%STATE%\%NAME%.console.txt" 2>&1
set rc=%errorlevel%
popd
rem version.id changed during the run: what ran is not known; unread, the
rem key read before stands. The markers go before the waits for the share.
call :version "%STATE%\%NAME%.after"
set "AFTER=%KEY%"
if not defined AFTER set "AFTER=%NEWKEY%"
if "%AFTER%"=="%NEWKEY%" call :markers
goto ran
:unreachable
call :say "%PKG% cannot be reached." >"%STATE%\%NAME%.console.txt"
set "AFTER=%NEWKEY%"
:ran
rem A network driver's update may have taken the network down.
call :reach
call :tell "exit code %rc%"
if not "%AFTER%"=="%NEWKEY%" call :tell "nothing marked: version.id changed during the run"
copy /y "%STATE%\%NAME%.console.txt" "%ZRLOGS%\%COMPUTERNAME%.console.txt" >nul
call :push
exit /b %rc%

:push
rem Also once done: a run killed before it pushed its log.
if exist "%SystemDrive%\ZRLOG\ZR.log" copy /y "%SystemDrive%\ZRLOG\ZR.log" "%ZRLOGS%\%COMPUTERNAME%.log" >nul
exit /b 0

:markers
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

:reach
rem Waits up to 60 s for the share: ping -n 11 takes 10 s.
set "TRIES=1"
:wait
if exist "%SHARE%\current.txt" goto :eof
if %TRIES% geq 7 goto :eof
set /a TRIES+=1
ping -n 11 127.0.0.1 >nul
goto wait

:no_error
rem pushd sets the errorlevel when it fails, not when it works.
exit /b 0

:version
rem KEY: the key of the package's version.id, copied to %1.
if exist %1 del %1
copy /y "%PKG%\version.id" %1 >nul 2>nul
:key
rem KEY: the lines of the file %1 but blank and ; lines, each after a /.
set "KEY="
if not exist %1 goto :eof
for /f "usebackq eol=; delims=" %%v in (%1) do call :addline "%%v"
goto :eof
:addline
if not "%~1"=="" set "KEY=%KEY%/%~1"
goto :eof

:say
rem Echoes %1 unquoted: a for variable's &, ( and ) are not parsed again.
for %%m in (%1) do echo %%~m
goto :eof

:tell
call :say "%DATE% %TIME% %NAME% %~1" >>"%ZRLOGS%\%COMPUTERNAME%.txt"
goto :eof
