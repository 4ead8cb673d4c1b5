@echo off
setlocal EnableExtensions DisableDelayedExpansion
rem Removes the system drive root's left-over ZRTx.TMP folders (x: 1 to 4
rem hexadecimal digits), by long name, in any case.
set "LEFT="
for /f "delims=" %%d in ('dir /b /ad "%SystemDrive%\" 2^>nul') do call :match "%%d"
if defined LEFT exit /b 1
exit /b 0

:match
set "N=%~1"
if /i not "%N:~0,3%"=="ZRT" goto :eof
if /i not "%N:~-4%"==".TMP" goto :eof
set "HEX=%N:~3,-4%"
if not defined HEX goto :eof
if not "%HEX:~0,4%"=="%HEX%" goto :eof
for %%h in (0 1 2 3 4 5 6 7 8 9 A B C D E F) do if defined HEX call set "HEX=%%HEX:%%h=%%"
if defined HEX goto :eof
set "F=%SystemDrive%\%N%"
set "P=%F%"
call :remove
if not exist "%F%\" goto :eof
set "LEFT=1"
for %%m in ("%F% is left: a link, or a file in it is in use.") do echo %%~m
goto :eof

:remove
rem P: a folder, removed without rd /s, which goes into links on 2000. A
rem plain rd removes a link as a link, or an empty folder; a link left
rem (attribute l), or a name not read back as itself, is not entered.
setlocal
set "D=%P%"
rd "%D%" 2>nul
if not exist "%D%\" goto :eof
for %%i in ("%D%") do (set "FULL=%%~fi"& set "ATTR=%%~ai")
if /i not "%FULL%"=="%D%" goto :eof
if /i "%ATTR:~8,1%"=="l" goto :eof
for /f "delims=" %%e in ('dir /b /ad "%D%" 2^>nul') do (set "P=%D%\%%e"& call :remove)
del /f /q /a "%D%\*" 2>nul
rd "%D%" 2>nul
goto :eof
