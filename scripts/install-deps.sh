#!/usr/bin/env bash
# Installs the Debian packages that building and testing Dropkit need; skips what is
# already installed, so running it again is cheap.
set -euo pipefail

# The window: Qt 6 Widgets and Svg (qt6-svg-dev: the window draws clade survival's tree;
# the offscreen platform, which the window tests draw on, comes
# with Qt's GUI library; qt6-qpa-plugins brings the X11 one) and a font to draw text with.
# The jackknife and clade survival: NCL reads alignments and trees (libncl-dev), OpenSSL's
# libcrypto computes digests, zlib (zlib1g-dev) gzips pruned copies, the tests run the jobs written with IQ-TREE (iqtree) and GNU
# parallel, and rsvg-convert (librsvg2-bin) turns the example's picture into PNG. Highway's
# headers (libhwy-dev, found with pkg-config) give the draws vector code. The checks:
# desktop-file-validate, clang-format and clang-tidy.
# With --tests (scripts/test.sh) also what only the tests need: the Slurm test runs slurm.sh
# on a one-node Slurm that it starts itself, with its controller and node daemons
# (slurmctld, slurmd), sbatch, squeue and scontrol (slurm-client) and the munge
# authentication daemon (munge); clang 16 checks that the code builds with clang too. Installing them may enable system services, so the run
# command does not ask for them.
packages=(cmake ninja-build pkg-config g++ libgtest-dev libgmock-dev libbenchmark-dev
          nlohmann-json3-dev librandom123-dev libhwy-dev libcli11-dev python3 qt6-base-dev
          qt6-svg-dev
          qt6-qpa-plugins fonts-dejavu-core libncl-dev libssl-dev zlib1g-dev iqtree parallel
          librsvg2-bin
          desktop-file-utils clang-format clang-tidy)
if [ "${1:-}" = --tests ]; then
  packages+=(slurmctld slurmd slurm-client munge clang-16)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} > 0)); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
