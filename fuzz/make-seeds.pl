#!/usr/bin/perl
# Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/:
#   - two tiny hand-made images (about 1.5 KiB each): a 32-bit program and a 64-bit
#     DLL, each with a code section, an import directory (names and ordinals), an
#     export directory, a CodeView debug entry and an uninitialised-data section;
#   - the bundled sample (examples/sample) built with the MinGW compilers, 32-bit and
#     64-bit, the same way the test fixtures are built;
#   - cut and altered copies: headers cut short, a file that is no PE, images appended
#     to another file.
# Run it again after a change to the sample; the corpora are replaced.
#   perl fuzz/make-seeds.pl
use strict;
use warnings;
use File::Basename qw(dirname);
use File::Path qw(make_path remove_tree);
use File::Spec;
use File::Temp qw(tempdir);

my $top = File::Spec->rel2abs(dirname(__FILE__) . '/..');
my $corpus = "$top/fuzz/corpus";

# ---- the tiny images -------------------------------------------------------------------
sub align { my ($n, $a) = @_; return int(($n + $a - 1) / $a) * $a; }

sub tiny_image {
  my (%o) = @_;
  my $wide = $o{pe32plus};
  my $thunk = $wide ? 8 : 4;
  my ($text_rva, $rdata_rva, $bss_rva) = (0x1000, 0x2000, 0x3000);
  my ($text_raw, $rdata_raw) = (0x200, 0x400);
  my $image_base = $wide ? (1 << 32 | 0x40000000) : 0x400000;

  # .rdata, built as one string; put() returns the RVA of what it appends.
  my $rdata = '';
  my $put = sub { my ($bytes, $al) = @_; $rdata .= "\0" x (align(length $rdata, $al // 4) - length $rdata);
                  my $at = $rdata_rva + length $rdata; $rdata .= $bytes; return $at; };
  my $patch = sub { my ($rva, $bytes) = @_; substr($rdata, $rva - $rdata_rva, length $bytes) = $bytes; };
  my $slot = sub { my ($v) = @_; return $wide ? pack('Q<', $v) : pack('V', $v); };
  my $ordinal_flag = $wide ? (1 << 63) : 0x80000000;

  my @dlls = (['KERNEL32.dll', [[0x10, 'GetTickCount'], [0x20, 'ExitProcess'], [undef, 5]]],
              ['sample.dll', [[0, 'SampleChecksum'], [undef, 2]]]);
  my $descriptors = $put->("\0" x (20 * (@dlls + 1)));
  my @iat;
  my ($iat_start, $iat_end);
  for my $i (0 .. $#dlls) {
    my ($name, $functions) = @{$dlls[$i]};
    my @values;
    for my $f (@$functions) {
      if (defined $f->[0]) { push @values, $put->(pack('v', $f->[0]) . $f->[1] . "\0", 2); }
      else { push @values, $ordinal_flag | $f->[1]; }
    }
    my $lookup = $put->(join('', map { $slot->($_) } @values, 0), $thunk);
    my $iat = $put->(join('', map { $slot->($_) } @values, 0), $thunk);
    $iat_start //= $iat;
    $iat_end = $iat + $thunk * (@values + 1);
    push @iat, $iat;
    my $dll_name = $put->("$name\0", 2);
    $patch->($descriptors + 20 * $i, pack('V5', $lookup, 0, 0, $dll_name, $iat));
  }
  my $imports_size = 20 * (@dlls + 1);

  # Exports: three functions, two of them named; numbered from Base 1.
  my $export_dir = $put->("\0" x 40);
  my $functions = $put->(pack('V3', $text_rva, $text_rva + 0x10, $text_rva + 0x20));
  my @names = map { $put->("$_\0", 1) } ('Alpha', 'Beta');
  my $names = $put->(pack('V2', @names));
  my $ordinals = $put->(pack('v2', 0, 2));
  my $module = $put->(($o{module} // 'seed.dll') . "\0", 1);
  $patch->($export_dir, pack('V2 v2 V7', 0, 0x5F000000, 1, 0, $module, 1, 3, 2, $functions, $names, $ordinals));
  my $exports_size = length($rdata) - ($export_dir - $rdata_rva);

  # Debug directory: one CodeView entry whose data follows it.
  my $debug = $put->("\0" x 28);
  my $codeview = "RSDS" . pack('C16', 1 .. 16) . pack('V', 1) . "seed.pdb\0";
  my $cv = $put->($codeview);
  $patch->($debug, pack('V2 v2 V4', 0, 0x5F000000, 0, 0, 2, length $codeview, $cv, $cv - $rdata_rva + $rdata_raw));

  # Code: a frame, a call through the first IAT slot, a return.
  my $code;
  if ($wide) {
    my $rel = $iat[0] - ($text_rva + 4 + 6);
    $code = pack('C4', 0x55, 0x48, 0x89, 0xE5) . pack('C2 l<', 0xFF, 0x15, $rel) . pack('C4', 0x31, 0xC0, 0x5D, 0xC3);
  } else {
    $code = pack('C3', 0x55, 0x89, 0xE5) . pack('C2 V', 0xFF, 0x15, $image_base + $iat[0]) . pack('C4', 0x31, 0xC0, 0x5D, 0xC3);
  }

  my $file_align = 0x200;
  my $rdata_size = align(length $rdata, $file_align);
  die "rdata too large" if $rdata_size > 0x200;
  my @sections = (['.text', 0x30, $text_rva, 0x200, $text_raw, 0x60000020],
                  ['.rdata', length $rdata, $rdata_rva, $rdata_size, $rdata_raw, 0x40000040],
                  ['.bss', 0x100, $bss_rva, 0, 0, 0xC0000080]);

  my @dirs = ([0, 0]) x 16;
  $dirs[0] = [$export_dir, $exports_size];
  $dirs[1] = [$descriptors, $imports_size];
  $dirs[6] = [$debug, 28];
  $dirs[12] = [$iat_start, $iat_end - $iat_start];
  my $dir_bytes = join('', map { pack('V2', @$_) } @dirs);

  my $e_lfanew = 0x40;
  my $characteristics = $o{dll} ? 0x2102 : 0x0102;
  $characteristics = ($characteristics & ~0x0100) | 0x0020 if $wide;
  my $optional;
  if ($wide) {
    $optional = pack('v C2 V5', 0x20B, 2, 38, 0x200, 0x200, 0x100, $text_rva, $text_rva)
              . pack('Q<', $image_base) . pack('V2 v6 V4 v2', 0x1000, $file_align, 6, 0, 0, 0, 5, 2, 0, 0x4000, 0x200, 0, 3, 0x160)
              . pack('Q<4', 0x100000, 0x1000, 0x100000, 0x1000) . pack('V2', 0, 16) . $dir_bytes;
  } else {
    $optional = pack('v C2 V6', 0x10B, 2, 38, 0x200, 0x200, 0x100, $text_rva, $text_rva, $rdata_rva)
              . pack('V3 v6 V4 v2', $image_base, 0x1000, $file_align, 4, 0, 0, 0, 4, 0, 0, 0x4000, 0x200, 0, 3, 0)
              . pack('V4', 0x100000, 0x1000, 0x100000, 0x1000) . pack('V2', 0, 16) . $dir_bytes;
  }
  die "optional header size" if length($optional) != ($wide ? 240 : 224);
  my $headers = "MZ" . ("\0" x 58) . pack('V', $e_lfanew)
              . "PE\0\0" . pack('v2 V3 v2', $wide ? 0x8664 : 0x14C, scalar @sections, 0, 0, 0, length $optional, $characteristics)
              . $optional;
  for my $s (@sections) {
    my ($name, @f) = @$s;
    $headers .= pack('a8 V6 v2 V', $name, @f[0 .. 3], 0, 0, 0, 0, $f[4]);
  }
  die "headers too large" if length $headers > 0x200;
  my $file = $headers . ("\0" x (0x200 - length $headers));
  $file .= $code . ("\0" x (0x200 - length $code));
  $file .= $rdata . ("\0" x ($rdata_size - length $rdata));
  return $file;
}

# ---- the MinGW-built sample ------------------------------------------------------------
sub slurp { my ($p) = @_; open(my $f, '<:raw', $p) or die "$p: $!\n"; local $/; my $t = <$f>; close $f; return $t; }

my %sample;
my $tmp = tempdir(CLEANUP => 1);
for my $bits (32, 64) {
  my $gcc = $bits == 32 ? 'i686-w64-mingw32-gcc' : 'x86_64-w64-mingw32-gcc';
  my $dir = "$tmp/sample$bits";
  make_path($dir);
  my @flags = ('-O0', '-fno-omit-frame-pointer', '-fexec-charset=GB18030');
  my @ld = ('-Wl,--no-insert-timestamp', '-s');
  system('sh', '-c', 'cd "$0" && "$@"', $dir, $gcc, @flags, '-shared', '-o', 'sample.dll',
         "$top/examples/sample/sample_dll.c", @ld, '-Wl,--out-implib,libsample.dll.a') == 0 or die "$gcc failed\n";
  system('sh', '-c', 'cd "$0" && "$@"', $dir, $gcc, @flags, '-o', 'sample.exe',
         "$top/examples/sample/sample.c", 'libsample.dll.a', '-luser32', '-lkernel32', @ld) == 0 or die "$gcc failed\n";
  $sample{"sample$bits.exe"} = slurp("$dir/sample.exe");
  $sample{"sample$bits.dll"} = slurp("$dir/sample.dll");
}

# ---- the corpora -----------------------------------------------------------------------
my $tiny32 = tiny_image(pe32plus => 0, dll => 0, module => 'tiny32.exe');
my $tiny64 = tiny_image(pe32plus => 1, dll => 1, module => 'tiny64.dll');
my %seed = (
  'tiny32.exe' => $tiny32,
  'tiny64.dll' => $tiny64,
  'tiny32-cut-optional-header' => substr($tiny32, 0, 0x100),
  'tiny32-cut-section-table' => substr($tiny32, 0, 0x170),
  'tiny64-cut-imports' => substr($tiny64, 0, 0x440),
  'tiny64-cut-exports' => substr($tiny64, 0, 0x500),
  'not-pe' => "MZ" . ("\0" x 58) . pack('V', 0x40) . "NE\0\0" . ("\0" x 60),
  'sample32-headers' => substr($sample{'sample32.exe'}, 0, 0x400),
  'sample64-headers' => substr($sample{'sample64.exe'}, 0, 0x400),
  'images-appended' => $tiny32 . ("\xCC" x 100) . $tiny64 . "MZ" . $tiny32 . substr($tiny64, 0, 0x180),
  'images-nested' => "M" . substr($tiny32, 0, 0x80) . $tiny64 . substr($tiny32, 0x80),
  %sample,
);
my %targets = (
  pe_headers => [qw(tiny32.exe tiny64.dll tiny32-cut-optional-header tiny32-cut-section-table not-pe
                    sample32-headers sample64-headers)],
  sections => [qw(tiny32.exe tiny64.dll tiny32-cut-optional-header tiny32-cut-section-table not-pe
                  sample32-headers sample64-headers)],
  imports => [qw(tiny32.exe tiny64.dll tiny64-cut-imports sample32.exe sample64.exe)],
  exports => [qw(tiny32.exe tiny64.dll tiny64-cut-exports sample32.dll sample64.dll)],
  debug_directory => [qw(tiny32.exe tiny64.dll tiny64-cut-exports sample32-headers)],
  embedded_images => [qw(tiny32.exe images-appended images-nested not-pe)],
  analysis => [qw(tiny32.exe tiny64.dll images-appended tiny64-cut-imports not-pe sample32.exe sample64.dll)],
);
for my $target (sort keys %targets) {
  my $dir = "$corpus/$target";
  remove_tree($dir);
  make_path($dir);
  for my $name (@{$targets{$target}}) {
    die "no seed $name\n" unless defined $seed{$name};
    open(my $f, '>:raw', "$dir/$name") or die "$dir/$name: $!\n";
    print $f $seed{$name};
    close $f;
  }
}
print "make-seeds: wrote ", scalar(keys %targets), " corpora into $corpus\n";
