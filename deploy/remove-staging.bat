@echo off
rem Removes the staging folders left in the root of the system drive.
for /d %%d in (%SystemDrive%\ZRT*.TMP) do rd /s /q "%%d"
