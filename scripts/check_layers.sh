#!/bin/bash
# Fails when a source or header under Src/ includes a project header from a folder its build
# target does not link (an upward or sideways include), or when a folder holds sources but no
# build target of its own. The table below is the target graph of ARCHITECTURE.md: each folder
# (one build target) with the folders it links directly.
# Usage: check_layers.sh [REPOSITORY]
set -u
root=${1:-$(dirname "$0")/..}
cd "$root/Src" || exit 2

declare -A links=(
  [components]=""
  [transcode/common]="components"
  [transcode]="transcode/common"
  [media]="transcode/common"
  [transcode/hooks]="transcode media"
  [components/encoder]="transcode/hooks"
  [burn]="components"
  [components/filelist]=""
  [jobs/taskbar]=""
  [media/ui]="media components/filelist"
  [burn/ui]="burn components/filelist jobs/taskbar"
  [jobs]="jobs/taskbar components/encoder media components/filelist shell/settings"
  [shell/settings]=""
  [shell/dialogs]="shell/settings"
  [shell/adding]="media components/filelist"
  [shell]="components/filelist shell/adding media/ui burn/ui shell/dialogs jobs"
  [cli]="components/encoder media/ui shell/settings"
)

# Every folder a folder may include from: itself and what it links, transitively.
declare -A allowed
closure() {
  local folder=$1 dep
  [[ -n ${allowed[$folder]+x} ]] && return
  local result=" $folder "
  for dep in ${links[$folder]}; do
    closure "$dep"
    result+="${allowed[$dep]} "
  done
  allowed[$folder]=$result
}
for folder in "${!links[@]}"; do
  closure "$folder"
done

status=0
while IFS= read -r file; do
  folder=$(dirname "$file")
  folder=${folder#./}
  if [[ -z ${links[$folder]+x} ]]; then
    echo "$file: folder $folder is not in the layer table (scripts/check_layers.sh)"
    status=1
    continue
  fi
  while IFS= read -r header; do
    target=$(dirname "$header")
    [[ -z ${links[$target]+x} ]] && continue # not one of ours (a system or generated header)
    if [[ ${allowed[$folder]} != *" $target "* ]]; then
      echo "$file includes $header: $folder does not link $target"
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\/[^"]*\)".*/\1/p' "$file")
done < <(find . -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

for folder in "${!links[@]}"; do
  if [[ ! -f $folder/CMakeLists.txt ]]; then
    echo "$folder: no CMakeLists.txt (each folder is one build target)"
    status=1
  fi
done

[[ $status == 0 ]] && echo "Includes follow the layers."
exit $status
