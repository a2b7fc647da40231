mkdir %2
set kanoru_try=0
:retry
move /Y %1 %2
if not exist %1 exit /b 0
set /a kanoru_try+=1
if %kanoru_try% geq 120 exit /b 1
ping -n 2 127.0.0.1 >nul
goto retry
