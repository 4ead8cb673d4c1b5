@echo off
rem Runs a package once per version of it at each start of the PC, and
rem records each run on a share. Change the first three set lines.
set "PKG=\\server\share\package"
set "ZRLOGS=\\server\zrlogs"
set "NAME=tavix-driver"
rem Markers, lock and console, in a folder only Administrators and SYSTEM
rem may write: a marker stops the update on this PC.
set "STATE=%SystemRoot%\ZRDEPLOY"

if not exist "%STATE%\" call :make_state
rem mkdir and pushd set the errorlevel when they fail, not when they work.
call :no_error
mkdir "%STATE%\%NAME%.lock" 2>nul
if errorlevel 1 goto locked
if exist "%STATE%\%NAME%.new" del "%STATE%\%NAME%.new"
copy /y "%PKG%\version.id" "%STATE%\%NAME%.new" >nul
call :key "%STATE%\%NAME%.new"
set "NEWKEY=%KEY%"
if "%NEWKEY%"=="" goto run
call :key "%STATE%\%NAME%.done"
if "%KEY%"=="%NEWKEY%" goto not_now
rem Not applicable (99) to this version: tried again at every 10th start.
call :key "%STATE%\%NAME%.na"
if not "%KEY%"=="%NEWKEY%" goto run
set "COUNT=0"
if exist "%STATE%\%NAME%.count" set /p COUNT=<"%STATE%\%NAME%.count"
set /a COUNT+=1
if %COUNT% geq 10 goto run
>"%STATE%\%NAME%.count" echo %COUNT%
goto not_now

:run
if exist "%STATE%\%NAME%.count" del "%STATE%\%NAME%.count"
>>"%ZRLOGS%\%COMPUTERNAME%.txt" echo %DATE% %TIME% %NAME% started
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
>"%STATE%\%NAME%.console.txt" echo %PKG% cannot be reached.
:ran
>>"%ZRLOGS%\%COMPUTERNAME%.txt" echo %DATE% %TIME% %NAME% exit code %rc%
copy /y "%STATE%\%NAME%.console.txt" "%ZRLOGS%\%COMPUTERNAME%.console.txt" >nul
if exist "%SystemDrive%\ZRLOG\ZR.log" copy /y "%SystemDrive%\ZRLOG\ZR.log" "%ZRLOGS%\%COMPUTERNAME%.log" >nul
if not "%NEWKEY%"=="" call :markers
rd "%STATE%\%NAME%.lock"
exit /b %rc%

:not_now
rd "%STATE%\%NAME%.lock"
exit /b 0

:locked
echo %STATE%\%NAME%.lock is there: another run of this script is under way, or one was stopped.
>>"%ZRLOGS%\%COMPUTERNAME%.txt" echo %DATE% %TIME% %NAME% not run: %STATE%\%NAME%.lock is there
exit /b 1

:markers
rem 0 marks the version done. 3010 and 1641 run it once more at the next
rem start, after the restart; whatever that run returns but a failure marks
rem it done. 99 marks it not applicable. A failure marks nothing.
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
exit /b 0

:make_state
rem Administrators (S-1-5-32-544) and SYSTEM (S-1-5-18) by their SIDs,
rem which every language of Windows shares. Windows 2000 and XP have no
rem icacls: there the folder keeps the Windows folder's permissions.
mkdir "%STATE%"
if exist "%SystemRoot%\system32\icacls.exe" icacls "%STATE%" /inheritance:r /grant:r "*S-1-5-32-544:(OI)(CI)F" "*S-1-5-18:(OI)(CI)F" >nul
goto :eof

:key
rem KEY becomes the lines of the file %1, each after a slash; empty without it.
set "KEY="
if not exist %1 goto :eof
for /f "usebackq delims=" %%v in (%1) do call :addline "%%v"
goto :eof
:addline
set "KEY=%KEY%/%~1"
goto :eof
