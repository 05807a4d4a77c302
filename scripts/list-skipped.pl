#!/usr/bin/perl
# Prints one line per skipped test of a CTest JUnit report, with the reason
# the test gave (GoogleTest's "Skipped" message, or a browser test's
# "SKIPPED:" line), and a count. Usage: list-skipped.pl junit.xml [TITLE]
use strict;
use warnings;

my ($file, $title) = @ARGV;
$title //= 'Skipped tests';
open my $in, '<', $file or exit 0;
local $/;
my $xml = <$in>;
close $in;

sub unescape {
    my ($text) = @_;
    $text =~ s/&lt;/</g;
    $text =~ s/&gt;/>/g;
    $text =~ s/&quot;/"/g;
    $text =~ s/&apos;/'/g;
    $text =~ s/&amp;/&/g;
    return $text;
}

my @lines;
while ($xml =~ m{<testcase\s+name="([^"]*)"[^>]*status="notrun"[^>]*>(.*?)</testcase>}sg) {
    my ($name, $body) = (unescape($1), $2);
    my $why = 'no reason given';
    if ($body =~ m{<system-out>(.*?)</system-out>}s) {
        my $out = unescape($1);
        if ($out =~ /: Skipped\r?\n(.+?)\r?\n/) {
            $why = $1;
        } elsif ($out =~ /SKIPPED:?\s*(.+?)\r?\n/i) {
            $why = $1;
        }
    }
    push @lines, "  $name: $why";
}
if (@lines) {
    print "$title (" . scalar(@lines) . "):\n", map { "$_\n" } @lines;
} else {
    print "$title: none\n";
}
