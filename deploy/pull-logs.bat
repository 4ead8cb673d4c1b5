@echo off
setlocal EnableExtensions DisableDelayedExpansion
rem Copies the logs of computers.txt's PCs. Change this line to your share:
set "ZRLOGS=\\server\zrlogs"
set "FAILED="
if not exist computers.txt echo computers.txt is not in this folder.& exit /b 1
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
for %%m in ("%1: %FROM% not copied to %ZRLOGS%\%1.log") do echo %%~m
goto :eof
