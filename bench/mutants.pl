#!/usr/bin/perl
# The mutants of the C++ files named: one plausible fault a line each, at
# every site, in a fixed order. Prints one mutant a line:
#   FILE<TAB>LINE<TAB>OPERATOR<TAB>THE LINE AS MUTATED
# Comments, preprocessor lines and the generated picture are left alone.
use strict;
use warnings;

# The operators: a name, a pattern over a line's code, and what each match
# becomes (a list: one mutant each). Matches are taken one at a time.
my @relational = (
    [' < ', ' <= ', ' > '], [' <= ', ' < ', ' > '], [' > ', ' >= ', ' < '], [' >= ', ' > ', ' < '],
    [' == ', ' != '], [' != ', ' == '],
);
my %calls = (
    'gmtime_r' => 'localtime_r', 'localtime_r' => 'gmtime_r', 'MAP_SHARED' => 'MAP_PRIVATE',
    'O_RDWR' => 'O_RDONLY', 'O_TRUNC' => '0', 'O_CLOEXEC' => '0', 'EINTR' => 'EAGAIN',
    'SEEK_SET' => 'SEEK_CUR', 'stderr' => 'stdout', 'SIG_IGN' => 'SIG_DFL', 'fsync' => 'fdatasync',
    'strtol' => 'strtoul', 'std::min' => 'std::max', 'std::max' => 'std::min', 'EACCES' => 'ENOENT',
);
my %types = (
    'std::uint32_t' => 'std::int32_t', 'std::int32_t' => 'std::int16_t', 'std::size_t' => 'std::uint16_t',
    'std::int64_t' => 'std::int32_t', 'std::uint64_t' => 'std::uint32_t', 'std::uint8_t' => 'std::int8_t',
    'std::uint16_t' => 'std::uint8_t', 'unsigned' => 'int', 'ssize_t' => 'short',
);

# code LINE: the line without a trailing // comment (one outside a string).
sub code_end {
    my ($line) = @_;
    my $in = '';
    for (my $i = 0; $i < length $line; ++$i) {
        my $c = substr($line, $i, 1);
        if ($in) {
            ++$i if $c eq '\\';
            $in = '' if $c eq $in;
        } elsif ($c eq '"' || $c eq "'") {
            $in = $c;
        } elsif (substr($line, $i, 2) eq '//') {
            return $i;
        }
    }
    return length $line;
}

# each_match CODE, PATTERN, SUB: SUB(start, length, matched) for every match.
sub each_match {
    my ($code, $pattern, $sub) = @_;
    while ($code =~ /$pattern/g) {
        $sub->($-[0], $+[0] - $-[0], substr($code, $-[0], $+[0] - $-[0]));
    }
}

for my $file (@ARGV) {
    next if $file =~ m{splash/pic_data\.cpp$};
    open my $in, '<', $file or die "mutants: $file: $!\n";
    my @lines = <$in>;
    close $in;
    chomp @lines;
    my $block_comment = 0;
    for my $n (1 .. @lines) {
        my $line = $lines[$n - 1];
        if ($block_comment) { $block_comment = 0 if $line =~ m{\*/}; next; }
        if ($line =~ m{^\s*/\*}) { $block_comment = 1 unless $line =~ m{\*/}; next; }
        next if $line =~ m{^\s*(//|#)} || $line =~ /^\s*$/ || $line =~ /static_assert/;
        my $end = code_end($line);
        my $code = substr($line, 0, $end);
        my $rest = substr($line, $end);
        my $emit = sub {
            my ($op, $at, $len, $with) = @_;
            my $mutated = $code;
            substr($mutated, $at, $len) = $with;
            print "$file\t$n\t$op\t$mutated$rest\n" if $mutated ne $code;
        };
        for my $r (@relational) {
            my ($from, @to) = @$r;
            each_match($code, quotemeta($from), sub { my ($at, $len) = @_; $emit->("relational", $at, $len, $_) for @to; });
        }
        each_match($code, qr/ (&&|\|\|) /, sub {
            my ($at, $len, $m) = @_;
            $emit->("logical", $at, $len, $m eq ' && ' ? ' || ' : ' && ');
        });
        # Integer constants, not inside a name or a floating-point number: one
        # less (0 one more), the bound a test at the limit sees. Of a row of a
        # table (more than four), the first and the last.
        my $constant = qr/(?<![\w.])(0x[0-9a-fA-F]+|\d+)(?![\w.])/;
        my @sites;
        each_match($code, $constant, sub { push @sites, [@_]; });
        @sites = @sites[0, -1] if @sites > 4;
        for (@sites) {
            my ($at, $len, $m) = @$_;
            my $v = $m =~ /^0x/ ? hex($m) : $m;
            my $fmt = $m =~ /^0x/ ? sprintf('0x%%0%dx', length($m) - 2) : '%d';
            $emit->($v > 0 ? "constant-1" : "constant+1", $at, $len, sprintf($fmt, $v > 0 ? $v - 1 : 1));
        }
        # A condition inverted, or removed (its branch never taken).
        if ($code =~ /^(\s*(?:\} else )?(?:if|while) )\((.*)\)(\s*\{?|\s+\S.*;)$/) {
            my ($head, $cond, $tail) = ($1, $2, $3);
            if (($cond =~ tr/(//) == ($cond =~ tr/)//)) {
                $emit->("condition inverted", 0, length $code, "$head(!($cond))$tail");
                $emit->("condition removed", 0, length $code, "${head}(false)$tail") if $head =~ /if/;
            }
        }
        # A statement removed: a call, a store, a retry, a return.
        if ($code =~ /;\s*$/ && $code !~ /[{}]/ && $code !~ /^\s*(?:const |static |constexpr |extern |inline |using |[\w:<>,]+\*?\s+[\w\[\]]+\s*(?:=|;|\{|\())/) {
            # The removed statement stays as a comment, so each mutant reads apart.
            my ($indent, $statement) = $code =~ /^(\s*)(.*?)\s*$/;
            $emit->("statement removed", 0, length $code, "$indent; // removed: $statement");
        }
        each_match($code, qr/\b(\w+(?:\[\w+\])?) (-|\/) (\w+(?:\[\w+\])?)\b/, sub {
            my ($at, $len, $m) = @_;
            my ($a, $o, $b) = $m =~ /^(\S+) (\S) (\S+)$/;
            $emit->("operands swapped", $at, $len, "$b $o $a") if $a ne $b;
        });
        for my $t (sort keys %types) {
            each_match($code, qr/(?<![\w:])\Q$t\E(?!\w)/, sub { my ($at, $len) = @_; $emit->("narrower type", $at, $len, $types{$t}); });
        }
        for my $c (sort keys %calls) {
            each_match($code, qr/(?<![\w:])\Q$c\E(?!\w)/, sub { my ($at, $len) = @_; $emit->("another call", $at, $len, $calls{$c}); });
        }
    }
}
