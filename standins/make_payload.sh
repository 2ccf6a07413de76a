#!/usr/bin/env bash
# Assembles the payload: the 98 files of the setup program's package under
# their package names ("mp3lame\x" in the subfolder mp3lame), from the two
# stand-in build folders and the data files made here.
#   make_payload.sh BUILD [OUT]    reads BUILD/standins32 and BUILD/standins64,
#                                  writes OUT (default BUILD/payload)
# The same inputs give the same bytes on every run. The file list is checked
# against the package's own list of entry names: nothing missing, nothing else.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 BUILD [OUT]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$1
out=${2:-$build/payload}
s32=$build/standins32
s64=$build/standins64
data=$here/data
licence=/usr/share/common-licenses/LGPL-2.1

tmp=$out.part
rm -rf "$tmp"
mkdir -p "$tmp/mp3lame"
trap 'rm -rf "$tmp"' EXIT

take() {  # take FOLDER NAME [TARGET]: a built stand-in, under its package name
  local from=$1/$2 to=$tmp/${3:-$2}
  [ -f "$from" ] || { echo "make_payload.sh: missing $from (build the stand-ins first)" >&2; exit 1; }
  cp "$from" "$to"
}

# ---------------------------------------------------------------------------
# Programs and DLLs

for f in ZTCABLE_Setup.exe ZTMLAUX_Setup.exe \
         ztml_asiodriver.dll ztmlaux_asiodriver.dll ztmlins_asiodriver.dll MixolyteRemote.dll \
         mixolyte.exe mixolytepro.exe ZTDeviceCheck.exe MLStreamerView.exe MixolyteMacroButtons.exe \
         ZTAN2MIDI.exe MixolyteBUSGEQ15.exe MixolyteBUSMatrix8.exe \
         ZTCABLE_ControlPanel.exe ZTMLAUX_ControlPanel.exe; do
  take "$s32" "$f"
done
take "$s32" lame_enc.dll mp3lame/lame_enc.dll

for f in ZTMixolyteDAZA_Setup_x64.exe ZTCABLE_Setup_x64.exe ZTMLAUX_Setup_x64.exe ztregsvr64.exe \
         ztml_asiodriver64.dll ztmlaux_asiodriver64.dll ztmlins_asiodriver64.dll MixolyteRemote64.dll \
         mixolyte_x64.exe mixolytepro_x64.exe ZTMixolyteDAZA_ControlPanel.exe \
         ztmixolytevaio64_win10.sys; do
  take "$s64" "$f"
done
take "$s64" lame_enc64.dll mp3lame/lame_enc64.dll

# ---------------------------------------------------------------------------
# Texts, with Windows line ends

crlf() { sed 's/\r$//; s/$/\r/' "$1" > "$2"; }
for f in readme.txt Mixolyte_Help.xml MixolyteKumbra_Help.xml \
         ztmixolytevaio64_win10.inf ztusbgpi_uart.inf ztusbgpi_uart_xp_vista.inf; do
  crlf "$data/$f" "$tmp/$f"
done

# The encoder's licence: the GNU LGPL 2.1 as Debian ships it.
[ -f "$licence" ] || { echo "make_payload.sh: missing $licence" >&2; exit 1; }
cp "$licence" "$tmp/mp3lame/lame_License.txt"

# INF files of the virtual cable and auxiliary drivers, one per Windows
# generation and bitness, each naming its own driver file and catalog.
vaio_inf() {  # vaio_inf INF_STEM FILE_STEM HWID DESCRIPTION INTERFACE BITS GENERATION
  local inf_stem=$1 file_stem=$2 hwid=$3 description=$4 interface=$5 bits=$6 generation=$7
  local suffix arch target signature label
  [ "$bits" = 64 ] && suffix=64_$generation arch=NTamd64 || suffix=_$generation arch=NTx86
  case $generation in
    win10) target=10.0 signature='$WINDOWS NT$' label='Windows 10 and later' ;;
    win7) target=6.1 signature='$WINDOWS NT$' label='Windows 7, 8 and 8.1' ;;
    vista) target=6.0 signature='$WINDOWS NT$' label='Windows Vista' ;;
    2003) target=5.2 signature='$Windows NT$' label='Windows Server 2003' ;;
    xp) target=5.1 signature='$Windows NT$' label='Windows XP' ;;
  esac
  [ "$bits$generation" = 642003 ] && label='Windows Server 2003 and XP x64'
  local inf=$inf_stem$suffix.inf sys=$file_stem$suffix.sys cat=$file_stem$suffix.cat
  local section=ZTVAIO
  cat > "$tmp/$inf.lf" <<EOF
;
; $inf
; $description virtual audio driver, $label, $bits-bit.
; A root-enumerated device of the media class, hardware id $hwid.
;
; Copyright (c) ZT-Audio Software
;

[Version]
Signature="$signature"
Class=MEDIA
ClassGuid={4d36e96c-e325-11ce-bfc1-08002be10318}
Provider=%ProviderName%
CatalogFile=$cat
DriverVer=06/20/2022,2.1.2.2

[SourceDisksNames]
1=%DiskName%,,,

[SourceDisksFiles]
$sys=1

[DestinationDirs]
DefaultDestDir=12

[Manufacturer]
%MfgName%=ZTAudio,$arch.$target

[ZTAudio.$arch.$target]
%DeviceDesc%=$section.Install,$hwid

[$section.Install.NT]
Include=ks.inf,wdmaudio.inf
Needs=KS.Registration,WDMAUDIO.Registration
CopyFiles=$section.CopyFiles
AddReg=$section.AddReg

[$section.CopyFiles]
$sys

[$section.AddReg]
HKR,,AssociatedFilters,,"wdmaud,swmidi,redbook"
HKR,,Driver,,$sys
HKR,Drivers,SubClasses,,"wave,mixer"
HKR,Drivers\\wave\\wdmaud.drv,Driver,,wdmaud.drv
HKR,Drivers\\mixer\\wdmaud.drv,Driver,,wdmaud.drv
HKR,Drivers\\wave\\wdmaud.drv,Description,,%DeviceDesc%
HKR,Drivers\\mixer\\wdmaud.drv,Description,,%DeviceDesc%

[$section.Install.NT.Interfaces]
AddInterface=%KSCATEGORY_AUDIO%,%KSNAME_Wave%,$section.I.Wave
AddInterface=%KSCATEGORY_RENDER%,%KSNAME_Wave%,$section.I.Wave
AddInterface=%KSCATEGORY_CAPTURE%,%KSNAME_Wave%,$section.I.Wave
AddInterface=%KSCATEGORY_AUDIO%,%KSNAME_Topology%,$section.I.Topology
AddInterface=%DRIVER_INTERFACE%,%KSNAME_Control%,$section.I.Control

[$section.I.Wave]
AddReg=$section.I.Wave.AddReg

[$section.I.Wave.AddReg]
HKR,,CLSID,,%Proxy.CLSID%
HKR,,FriendlyName,,%DeviceDesc%

[$section.I.Topology]
AddReg=$section.I.Topology.AddReg

[$section.I.Topology.AddReg]
HKR,,CLSID,,%Proxy.CLSID%
HKR,,FriendlyName,,%TopologyName%

[$section.I.Control]
AddReg=$section.I.Control.AddReg

[$section.I.Control.AddReg]
HKR,,FriendlyName,,%ControlName%

[$section.Install.NT.Services]
AddService=${hwid}MME,0x00000002,$section.Service

[$section.Service]
DisplayName=%ServiceName%
ServiceType=1
StartType=3
ErrorControl=1
ServiceBinary=%12%\\$sys

[Strings]
ProviderName="ZT-Audio Software"
MfgName="ZT-Audio Software"
DiskName="Mixolyte Installation Disk"
DeviceDesc="$description"
ServiceName="$description"
TopologyName="$description Topology"
ControlName="$description Control"
KSNAME_Wave="Wave"
KSNAME_Topology="Topology"
KSNAME_Control="Control"
KSCATEGORY_AUDIO="{6994AD04-93EF-11D0-A3CC-00A0C9223196}"
KSCATEGORY_RENDER="{65E8773E-8F56-11D0-A3B9-00A0C9223196}"
KSCATEGORY_CAPTURE="{65E8773D-8F56-11D0-A3B9-00A0C9223196}"
Proxy.CLSID="{17CCA71B-ECD7-11D0-B908-00A0C9223196}"
DRIVER_INTERFACE="$interface"
EOF
  crlf "$tmp/$inf.lf" "$tmp/$inf"
  rm "$tmp/$inf.lf"
}

# Small placeholder binaries for the driver images and catalogs that have no
# stand-in: a marker, the file's name, zero padding to 1 KiB.
placeholder() {  # placeholder NAME KIND
  { printf 'ZT-Audio %s placeholder\r\n%s\r\n' "$2" "$1"; head -c 1024 /dev/zero; } |
    head -c 1024 > "$tmp/$1"
}

cable=(ZTmlvaio ztaudio_mlvaio ZTMixolyteCABLE "ZT-Audio Virtual Cable" "{D8C6B17A-215D-4082-9341-1E1677AE6B55}")
aux=(ZTmlauxvaio ztaudio_mlauxvaio ZTMixolyteMLAUX "ZT-Audio Virtual Cable AUX" "{5573CC9C-DF43-40BF-8EB3-D79E59A5A481}")
for driver in cable aux; do
  declare -n d=$driver
  for g in win10 win7 vista 2003 xp; do
    vaio_inf "${d[@]}" 32 "$g"
    placeholder "${d[1]}_$g.sys" "driver image"
    placeholder "${d[1]}_$g.cat" "catalog"
  done
  for g in win10 win7 vista 2003; do
    vaio_inf "${d[@]}" 64 "$g"
    placeholder "${d[1]}64_$g.sys" "driver image"
    placeholder "${d[1]}64_$g.cat" "catalog"
  done
  unset -n d
done
placeholder ztmixolytevaio64_win10.cat "catalog"
placeholder ztmixolytevaio64arm_win10.sys "driver image"

# ---------------------------------------------------------------------------
# Pictures

bash "$here/draw_pictures.sh" png "$tmp" >/dev/null

# ---------------------------------------------------------------------------
# Exactly the package's entries, no more, no less.

expected=$(sed -n '/kPackageEntryNames\[kPackageEntryCount\] = {/,/^};/p' "$root/package/package_format.cpp" |
           grep -o '"[^"]*"' | tr -d '"' | sed 's/\\\\/\//' | sort)
count=$(printf '%s\n' "$expected" | wc -l)
if [ "$count" -ne 98 ]; then
  echo "make_payload.sh: read $count entry names from package/package_format.cpp, expected 98" >&2
  exit 1
fi
actual=$(cd "$tmp" && find . -type f | sed 's|^\./||' | sort)
if [ "$expected" != "$actual" ]; then
  echo "make_payload.sh: the payload does not match the package's entries:" >&2
  diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") >&2 || true
  exit 1
fi

# An unchanged payload keeps its files and times, so that the package and
# the setup program are not made again for nothing.
if [ -d "$out" ] && diff -rq "$tmp" "$out" >/dev/null 2>&1; then
  echo "payload: $out unchanged"
  exit 0
fi
rm -rf "$out"
mv "$tmp" "$out"
trap - EXIT
echo "payload: $out, 98 files, $(du -sb "$out" | cut -f1) bytes"
