#!/usr/bin/perl
# Walks one tag of a compound index with XBase::Index and prints its record numbers in
# the order stored, one per line. Arguments: index file, tag name, key type (C or N).
use strict;
use warnings;
use XBase::Index;

my ($file, $tag, $type) = @ARGV;
my $index = XBase::Index->new($file, tag => $tag, type => $type) or die XBase::Index->errstr;
$index->prepare_select or die $index->errstr;
while (my ($key, $recno) = $index->fetch) {
    print "$recno\n";
}
