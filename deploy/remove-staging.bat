@echo off
setlocal EnableExtensions DisableDelayedExpansion
rem Removes the staging folders left in the root of the system drive: those
rem whose long name is ZRT, 1 to 4 hexadecimal digits and .TMP, in any
rem letter case. dir /b lists long names, which :match checks; a wildcard
rem alone would match short names too (ZRT1A2~1.TMP for ZRT1A2B.TMP_keep).
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
rem What is left of HEX after its digits are removed, in either case.
for %%h in (0 1 2 3 4 5 6 7 8 9 A B C D E F) do if defined HEX call set "HEX=%%HEX:%%h=%%"
if defined HEX goto :eof
rem A plain rd first: it removes a folder link (a junction) as a link, its
rem target untouched, and an empty folder. A link it left (XP and 2003 show
rem its attribute l) is never gone into. rd /s /q removes the rest, read-only
rem files too. Count on Windows 2000's rd /s going into a junction inside
rem the folder and deleting what its target holds, as Microsoft warns of
rem every tool that walks a tree there.
set "F=%SystemDrive%\%N%"
rd "%F%" 2>nul
if not exist "%F%\" goto :eof
for %%i in ("%F%") do set "ATTR=%%~ai"
if /i not "%ATTR:~8,1%"=="l" rd /s /q "%F%"
if not exist "%F%\" goto :eof
set "LEFT=1"
for %%m in ("%F% is left: a link, or a file in it is in use.") do echo %%~m
goto :eof
