@echo off
setlocal EnableExtensions DisableDelayedExpansion
rem Removes the root's left-over ZRT(1-4 hex digits).TMP folders, no rd /s
rem (into links on 2000): rd removes a link; a link left (attribute l), or
rem a name not read as itself, is not entered.
set "LEFT="
for /d %%d in (%SystemDrive%\ZRT*.TMP) do (set "P=%%~fd"& set "N=%%~nxd"& call :top)
if defined LEFT exit /b 1
exit /b 0

:top
if /i not "%N:~0,3%%N:~-4%"=="ZRT.TMP" goto :eof
set "HEX=%N:~3,-4%"
if not defined HEX goto :eof
if not "%HEX:~0,4%"=="%HEX%" goto :eof
for %%h in (0 1 2 3 4 5 6 7 8 9 A B C D E F) do if defined HEX call set "HEX=%%HEX:%%h=%%"
if defined HEX goto :eof
call :remove
if not exist "%P%\" goto :eof
set "LEFT=1"
for %%m in ("%P% is left: a link, or a file in it is in use.") do echo %%~m
goto :eof

:child
if not defined E goto :eof
set "P=%CD%\%E%"
for %%i in ("%P%") do set "FULL=%%~fi"
if /i not "%FULL%"=="%P%" goto :eof
:remove
setlocal
set "D=%P%"
rd "%D%" 2>nul
if not exist "%D%\" goto :eof
for %%i in ("%D%") do set "ATTR=%%~ai"
if /i "%ATTR:~8,1%"=="l" goto :eof
call :no_error
pushd "%D%"
if errorlevel 1 goto :eof
for /d %%e in (*) do (set "E=%%e"& call :child)
del /f /q /a * 2>nul
popd
rd "%D%" 2>nul
goto :eof

:no_error
rem pushd sets the errorlevel when it fails, not when it works.
exit /b 0
