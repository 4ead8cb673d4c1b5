@echo off
setlocal EnableExtensions DisableDelayedExpansion
rem Removes the staging folders left in the root of the system drive: the
rem long name (dir /b) ZRT, 1 to 4 hexadecimal digits, .TMP, in any case.
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
call :remove "%F%"
if not exist "%F%\" goto :eof
set "LEFT=1"
for %%m in ("%F% is left: a link, or a file in it is in use.") do echo %%~m
goto :eof

:remove
rem No rd /s, which goes into links on 2000. A plain rd removes a link as
rem a link, or an empty folder; a link left (attribute l) is not entered.
rd "%~1" 2>nul
if not exist "%~1\" goto :eof
for %%i in ("%~1") do set "ATTR=%%~ai"
if /i "%ATTR:~8,1%"=="l" goto :eof
for /f "delims=" %%e in ('dir /b /ad "%~1" 2^>nul') do call :remove "%~1\%%e"
del /f /q /a "%~1\*" 2>nul
rd "%~1" 2>nul
goto :eof
