#!/usr/bin/env bash
# Fails when a folder includes a folder above it: dependencies run one way, downwards; and when a
# window or widget is defined outside ui/, app/ and tools/, where every one of them lives.
set -euo pipefail
cd "$(dirname "$0")/.."
layers=(app ui web publish compose source settings platform) # top to bottom
rank() { local i; for i in "${!layers[@]}"; do [[ ${layers[$i]} == "$1" ]] && echo "$i" && return; done; echo -1; }
status=0
for from in "${layers[@]}"; do
  while IFS=: read -r file _ include; do
    to=${include#*\"}; to=${to%%/*}
    [[ $(rank "$to") -ge 0 && $(rank "$to") -lt $(rank "$from") ]] || continue
    echo "upward include: $file includes $to/ ($include)"
    status=1
  done < <(grep -rn '^#include "' "$from" --include='*.h' --include='*.cpp' || true)
done

widgets='Widget|Dialog|FileDialog|MessageBox|Menu|MenuBar|MainWindow|Label|Frame|GroupBox|AbstractButton|PushButton|ToolButton|CheckBox|RadioButton|LineEdit|TextEdit|PlainTextEdit|ComboBox|SpinBox|AbstractScrollArea|ScrollArea|AbstractSlider|Slider|TabWidget|ListWidget|TreeWidget|TableWidget|TextBrowser|StackedWidget|Splitter|ProgressBar|StatusBar|ToolBar|DockWidget|RubberBand'
while IFS= read -r hit; do
  echo "widget outside ui/, app/ and tools/: $hit"
  status=1
done < <(grep -rnE "^\s*class\s+\w+(\s+final)?\s*:[^{;]*\bQ($widgets)\b" platform settings source compose publish \
           --include='*.h' --include='*.cpp' || true)
exit $status
