#!/usr/bin/perl
# Prints a table as JSON read by Perl XBase: [{"deleted", "fields": {...}}], every record.
use strict;
use warnings;
use XBase;
use Encode qw(decode);
use JSON::PP;

my $table = XBase->new(shift) or die XBase->errstr;
my @names = $table->field_names;
my @types = $table->field_types;
my @rows;
for my $i (0 .. $table->last_record) {
    my ($deleted, @values) = $table->get_record($i);
    die $table->errstr unless defined $deleted;
    my %fields;
    for my $k (0 .. $#names) {
        my $v = $values[$k];
        if ($types[$k] eq 'L') {
            $v = defined $v ? ($v ? JSON::PP::true : JSON::PP::false) : undef;
        } elsif ($types[$k] eq 'N') {
            $v = defined $v ? $v + 0 : undef;
        } elsif (defined $v) {
            $v = decode('cp1252', $v);
            $v =~ s/\s+$// unless $types[$k] eq 'M';
        }
        $fields{uc $names[$k]} = $v;
    }
    push @rows, { deleted => ($deleted ? JSON::PP::true : JSON::PP::false), fields => \%fields };
}
print JSON::PP->new->utf8->canonical->encode(\@rows);
