@echo off
rem Example update: shows that it ran and changes nothing.
echo This is the example update of zoderudo; it changes nothing.
exit /b 0
