@echo off
setlocal EnableExtensions DisableDelayedExpansion
rem Copies each PC's log to ZRLOGS\PC.log, for the PCs in computers.txt in
rem the current folder: one a line, with the letter of its system drive
rem where that is not C. Change this line to the collecting share:
set "ZRLOGS=\\server\zrlogs"
rem Ends with 1 when any copy failed, each named with both its ends.
set "FAILED="
for /f "tokens=1,2" %%p in (computers.txt) do call :pull %%p %%q
if defined FAILED exit /b 1
exit /b 0

:pull
set "DRIVE=%2"
if "%DRIVE%"=="" set "DRIVE=C"
set "FROM=\\%1\%DRIVE%$\ZRLOG\ZR.log"
copy /y "%FROM%" "%ZRLOGS%\%1.log" >nul
if not errorlevel 1 goto :eof
set "FAILED=1"
rem A for variable's value is not parsed again: a name with & is echoed.
for %%m in ("%1: %FROM% not copied to %ZRLOGS%\%1.log") do echo %%~m
goto :eof
