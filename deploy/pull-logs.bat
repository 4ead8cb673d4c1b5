@echo off
rem Copies each PC's log to \\server\zrlogs\PC.log, for the PCs in computers.txt.
for /f "tokens=1,2" %%p in (computers.txt) do call :pull %%p %%q
goto :eof

:pull
set "DRIVE=%2"
if "%DRIVE%"=="" set "DRIVE=C"
copy /y "\\%1\%DRIVE%$\ZRLOG\ZR.log" "\\server\zrlogs\%1.log" >nul
if errorlevel 1 echo %1: no log at \\%1\%DRIVE%$\ZRLOG\ZR.log
goto :eof
