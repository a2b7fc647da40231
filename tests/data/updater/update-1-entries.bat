call "C:\Program Files\Kanoru2\00000000001f2e3d@4a0\$movefile$.bat" "C:\Program Files\Kanoru2\00000000001f2e3d@4a0\kanoru2.zip\Kanoru2.exe" "C:\Program Files\Kanoru2"
if errorlevel 1 goto failed
move /Y "C:\Program Files\Kanoru2\00000000001f2e3d@4a0\$installed$.cfg" "C:\Program Files\Kanoru2\$installed$.cfg"
:failed
cd ..
start "" "C:\Program Files\Kanoru2\Kanoru2.exe"
rmdir /S /Q "C:\Program Files\Kanoru2\00000000001f2e3d@4a0\"
