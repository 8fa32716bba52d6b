@echo off
rem Proves setup.exe on this PC: every scenario this PC can run, in a scratch folder beside
rem this file, which goes again at the end. Keep hands off the keyboard and mouse meanwhile.
"%~dp0driver.exe" package=1 %*
