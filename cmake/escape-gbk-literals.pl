#!/usr/bin/perl
# Writes copies of C and C++ sources in which every narrow literal is GBK bytes
# written as octal escapes, for compilers that cannot compile narrow literals to a
# charset other than UTF-8 (clang). GCC does the same with -fexec-charset=GB18030; the
# bytes here come from the same conversion (iconv to GB18030), so both builds hold the
# same bytes at run time.
#
#   escape-gbk-literals.pl IN_ROOT OUT_ROOT DIR... [--skip NAME]... [--iconv PROGRAM]
#
# Copies every file under IN_ROOT/DIR to OUT_ROOT/DIR. C and C++ sources (.c .cc .cpp
# .cxx .h .hh .hpp .inc .ipp) are rewritten:
#   - in ordinary narrow string and character literals ("..." and '...'), every
#     non-ASCII character and every universal character name (\uXXXX, \UXXXXXXXX)
#     becomes the octal escapes of its bytes: "分析中" -> "\267\326\316\366\326\320".
#     An octal escape has at most three digits, so no character after it can join it;
#   - a narrow raw literal R"d(...)d" holding non-ASCII text is split into raw pieces
#     and ordinary escaped pieces, which the compiler joins again;
#   - u8, u, U and L literals, comments and everything else stay as they are;
#   - a #line directive on top names the original file, so diagnostics, debug
#     information and sanitizer reports point at it, with the same line numbers.
# Other files are copied unchanged. Files are written only when their content changes,
# and files of an earlier run whose original is gone are removed. Directories named by
# --skip are left out. --iconv names the iconv program (default: iconv from PATH).
use strict;
use warnings;
use Encode qw(decode encode);
use File::Find;
use File::Path qw(make_path);
use File::Spec;
use File::Temp qw(tempfile);

my (@dirs, %skip);
my $iconv = 'iconv';
my @args = @ARGV;
die "usage: $0 IN_ROOT OUT_ROOT DIR... [--skip NAME]... [--iconv PROGRAM]\n" if @args < 3;
my $in_root = File::Spec->rel2abs(shift @args);
my $out_root = File::Spec->rel2abs(shift @args);
while (@args) {
  my $a = shift @args;
  if ($a eq '--skip') { $skip{shift @args} = 1; }
  elsif ($a eq '--iconv') { $iconv = shift @args; }
  else { push @dirs, $a; }
}

my $source_re = qr/\.(?:c|cc|cpp|cxx|h|hh|hpp|inc|ipp)$/;

# Every file to copy, relative to IN_ROOT.
my @files;
for my $dir (@dirs) {
  my $top = "$in_root/$dir";
  die "$0: no folder $top\n" unless -d $top;
  find({ no_chdir => 1, wanted => sub {
    my $name = (File::Spec->splitdir($File::Find::name))[-1];
    if (-d $File::Find::name) { $File::Find::prune = 1 if $skip{$name}; return; }
    push @files, File::Spec->abs2rel($File::Find::name, $in_root);
  } }, $top);
}

sub slurp { my ($p) = @_; open(my $f, '<:raw', $p) or die "$0: $p: $!\n"; local $/; my $t = <$f>; close $f; return $t // ''; }

# ---- the bytes of each character, by one conversion to GB18030 for all of them ----
my %gbk;  # character (Perl string of one code point) -> its GB18030 bytes

sub utf8_char { my ($seq, $where) = @_; my $c = eval { decode('UTF-8', $seq, Encode::FB_CROAK) };
  die "$0: $where: not UTF-8\n" unless defined $c && length($c) == 1; return $c; }

sub convert_all {
  my @chars = grep { !exists $gbk{$_} } @_;
  return unless @chars;
  my ($fh, $tmp) = tempfile(UNLINK => 1);
  binmode $fh;
  print $fh encode('UTF-8', join('', map { "$_\n" } @chars));
  close $fh;
  my $out = '';
  open(my $pipe, '-|', $iconv, '-f', 'UTF-8', '-t', 'GB18030', $tmp) or die "$0: $iconv: $!\n";
  binmode $pipe;
  { local $/; $out = <$pipe> // ''; }
  close $pipe;
  die "$0: iconv could not convert to GB18030\n" if $? != 0;
  # GB18030 never uses the byte 0x0A inside a character.
  my @bytes = split /\n/, $out, -1;
  pop @bytes;
  die "$0: iconv gave " . scalar(@bytes) . " lines for " . scalar(@chars) . " characters\n" if @bytes != @chars;
  @gbk{@chars} = @bytes;
}

sub octal { return join '', map { sprintf('\\%03o', ord $_) } split //, $_[0]; }

# ---- the rewrite of one source -------------------------------------------------------
# The text is scanned token by token so that comments, numbers (digit separators look
# like character literals), identifiers and literal prefixes are told apart.
# $emit->(kind, text) receives each piece; kinds: 'code', 'narrow' (the body of an
# ordinary literal with its quotes), 'raw' (prefix, delimiter, body).
sub scan {
  my ($text, $emit) = @_;
  pos($text) = 0;
  my $len = length $text;
  while (pos($text) < $len) {
    if ($text =~ /\G(\/\/[^\n]*)/gc) { $emit->('code', $1); }
    elsif ($text =~ /\G(\/\*.*?\*\/)/gcs) { $emit->('code', $1); }
    elsif ($text =~ /\G(u8R|uR|UR|LR|R)"([^()\\\s"]{0,16})\(/gc) {
      my ($prefix, $delim) = ($1, $2);
      my $start = pos($text);
      my $end = index($text, ")$delim\"", $start);
      die "raw literal without its end\n" if $end < 0;
      my $body = substr($text, $start, $end - $start);
      pos($text) = $end + length($delim) + 2;
      $emit->('raw', $prefix, $delim, $body);
    }
    elsif ($text =~ /\G(u8|u|U|L)("(?:\\.|[^"\\\n])*"|'(?:\\.|[^'\\\n])*')/gcs) { $emit->('code', "$1$2"); }
    elsif ($text =~ /\G([A-Za-z_\$\x80-\xFF][A-Za-z0-9_\$\x80-\xFF]*)/gc) { $emit->('code', $1); }
    elsif ($text =~ /\G(\.?[0-9](?:[eEpP][+-]|['.A-Za-z0-9_])*)/gc) { $emit->('code', $1); }
    elsif ($text =~ /\G("(?:\\.|[^"\\\n])*"|'(?:\\.|[^'\\\n])*')/gcs) { $emit->('narrow', $1); }
    elsif ($text =~ /\G(.)/gcs) { $emit->('code', $1); }
  }
}

my $utf8_seq = qr/[\xC0-\xF7][\x80-\xBF]*/;

# The characters a narrow literal body needs converted.
sub literal_chars {
  my ($body, $where) = @_;
  my @c;
  while ($body =~ /\G(?:\\u([0-9A-Fa-f]{4})|\\U([0-9A-Fa-f]{8})|\\(.)|($utf8_seq)|(.))/gcs) {
    if (defined $1 || defined $2) { push @c, chr(hex($1 // $2)); }
    elsif (defined $4) { push @c, utf8_char($4, $where); }
  }
  return @c;
}

sub escape_literal {
  my ($body, $where) = @_;
  my $out = '';
  while ($body =~ /\G(?:\\u([0-9A-Fa-f]{4})|\\U([0-9A-Fa-f]{8})|(\\.)|($utf8_seq)|(.))/gcs) {
    if (defined $1 || defined $2) { $out .= octal($gbk{chr(hex($1 // $2))}); }
    elsif (defined $3) { $out .= $3; }
    elsif (defined $4) { $out .= octal($gbk{utf8_char($4, $where)}); }
    else { $out .= $5; }
  }
  return $out;
}

sub rewrite {
  my ($text, $where, $collect) = @_;
  my $out = '';
  scan($text, sub {
    my ($kind, @p) = @_;
    if ($kind eq 'code') { $out .= $p[0]; return; }
    if ($kind eq 'narrow') {
      if ($collect) { push @$collect, literal_chars($p[0], $where); return; }
      $out .= escape_literal($p[0], $where);
      return;
    }
    my ($prefix, $delim, $body) = @p;
    if ($prefix ne 'R' || $body !~ /[\x80-\xFF]/) { $out .= "$prefix\"$delim($body)$delim\""; return; }
    # ASCII runs stay raw; each run of other characters becomes an ordinary literal.
    my @pieces;
    for my $run (split /((?:$utf8_seq)+)/, $body) {
      next if $run eq '';
      if ($run =~ /^[\x80-\xFF]/) {
        if ($collect) { push @$collect, map { utf8_char($_, $where) } ($run =~ /($utf8_seq)/g); next; }
        push @pieces, '"' . join('', map { octal($gbk{utf8_char($_, $where)}) } ($run =~ /($utf8_seq)/g)) . '"';
      } else {
        push @pieces, "R\"$delim($run)$delim\"";
      }
    }
    $out .= join(' ', @pieces) unless $collect;
  });
  return $out;
}

# ---- the run -------------------------------------------------------------------------
my %text;
my @needed;
for my $rel (@files) {
  next unless $rel =~ $source_re;
  my $path = "$in_root/$rel";
  $text{$rel} = slurp($path);
  eval { rewrite($text{$rel}, $path, \@needed); 1 } or die "$0: $path: $@";
}
my %seen;
convert_all(grep { !$seen{$_}++ } @needed);

my %written;
for my $rel (@files) {
  my $src = "$in_root/$rel";
  my $dst = "$out_root/$rel";
  my $content;
  if ($rel =~ $source_re) {
    (my $name = $src) =~ s/(["\\])/\\$1/g;
    $content = "#line 1 \"$name\"\n" . rewrite($text{$rel}, $src, undef);
  } else {
    $content = slurp($src);
  }
  $written{$dst} = 1;
  next if -f $dst && slurp($dst) eq $content;
  my (undef, $folder) = File::Spec->splitpath($dst);
  make_path($folder);
  open(my $f, '>:raw', "$dst.tmp") or die "$0: $dst.tmp: $!\n";
  print $f $content;
  close $f or die "$0: $dst.tmp: $!\n";
  rename("$dst.tmp", $dst) or die "$0: $dst: $!\n";
}

# Copies whose original is gone.
for my $dir (@dirs) {
  next unless -d "$out_root/$dir";
  find({ no_chdir => 1, wanted => sub {
    unlink $File::Find::name if -f $File::Find::name && !$written{$File::Find::name};
  } }, "$out_root/$dir");
}
