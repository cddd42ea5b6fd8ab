#!/usr/bin/perl
# The loop's radio-off findings of one run, one line each, "off" (its read of the radio said
# off) or "read_failed" (the read failed, which the service takes for off), as the capture
# records them and as the simulated notebook's trace of the same run says they must be.
#
#   radio_offs.pl capture CAPTURE_TRACE
#   radio_offs.pl notebook SIM_TRACE SCENARIO CONSOLE CAPTURE_TRACE
#
# The notebook's trace records the modem going off ("radio_off", cause "status" or "removed")
# and on again, not the loop's reads. Where the loop read the radio as off shows on the
# console, "Korvi::GetRadioState()  Off", after the requests that reached ExecMethod before
# it (the console's "ExecMethod returned" and the trace's firmware_start are one each): the
# modem's state then is the trace's at the next request's firmware_start, when the request
# that restores normal power reached ExecMethod; otherwise at the moment before the exit
# (one second before it, the loop's pause, when it exited 0; at it when it ran out of memory).
# Off by its status, the read said off; removed (every read of a removed modem fails) or on,
# the read failed.
#
# Two things the trace cannot show: a read that fails while the modem is off by its status
# (a fault on SimIccId or NetworkDeviceStatus at that read), and a modem removed after it went
# off by its status (the trace records only the change to off). In a scenario that has either,
# a finding while the modem is off by its status may be either cause, and the capture's cause
# stands. So does it where a change is stamped at the very moment of a finding that only the
# console shows: the trace's order does not say whether it came before the read.
use strict;
use warnings;
use JSON::PP;

sub lines_of {
  my ($file) = @_;
  open my $in, "<", $file or die "radio_offs.pl: $file: $!\n";
  my @lines = map { s/\r?\n\z//r } <$in>;
  return @lines;
}

sub capture_causes {
  my ($trace) = @_;
  return map { /"cause":"read_failed"/ ? "read_failed" : "off" } grep { /"event":"radio_off"/ } lines_of($trace);
}

sub cause_of_state { return $_[0] eq "status" ? "off" : "read_failed" }

# Whether the scenario can make a read fail while the modem is off by its status.
sub hidden_failures {
  my ($scenario) = @_;
  open my $in, "<", $scenario or die "radio_offs.pl: $scenario: $!\n";
  my $json = JSON::PP->new->decode(do { local $/; <$in> });
  for my $fault (@{ $json->{faults} // [] }) {
    return 1 if $fault->{op} eq "SimIccId" || $fault->{op} eq "NetworkDeviceStatus";
  }
  for my $item (@{ $json->{timeline} // [] }) {
    return 1 if defined $item->{modem} && $item->{modem} eq "removed";
  }
  return 0;
}

sub notebook_causes {
  my ($trace, $scenario, $console) = @_;
  my $text = join "\n", lines_of($console);
  my $off = index $text, "Korvi::GetRadioState()  Off";
  return () if $off < 0;
  my $before = () = substr($text, 0, $off) =~ /ExecMethod returned 0x/g;
  my $reached = substr($text, $off) =~ /ExecMethod returned 0x/;
  my $state = "on";
  my $starts = 0;
  my @history;  # [stamp, the modem's state from then on]
  my @causes;
  for my $line (lines_of($trace)) {
    my ($event) = $line =~ /"event":"(\w+)"/ or next;
    my ($us) = $line =~ /"t_sim_us":(\d+)/;
    if ($event eq "radio_off") {
      ($state) = $line =~ /"cause":"(\w+)"/;
      push @history, [$us, $state];
    } elsif ($event eq "radio_on") {
      $state = "on";
      push @history, [$us, $state];
    } elsif ($event eq "firmware_start") {
      if (++$starts == $before + 1 && $reached) {
        @causes = (cause_of_state($state));
        last;
      }
    } elsif ($event eq "exit") {
      my ($code) = $line =~ /"code":(\d+)/;
      my $at = $code == 0 ? $us - 1_000_000 : $us;
      my ($earlier, $then) = ("on", "on");
      for (@history) {
        $earlier = $_->[1] if $_->[0] < $at;
        $then = $_->[1] if $_->[0] <= $at;
      }
      my %either = map { cause_of_state($_) => 1 } $earlier, $then;
      @causes = sort keys %either;
    }
  }
  die "radio_offs.pl: $trace: no record of the loop's finding the radio off\n" unless @causes;
  @causes = ("off", "read_failed") if hidden_failures($scenario) && grep { $_ eq "off" } @causes;
  return (\@causes);
}

my $mode = shift @ARGV // "";
if ($mode eq "capture" && @ARGV == 1) {
  print "$_\n" for capture_causes($ARGV[0]);
} elsif ($mode eq "notebook" && @ARGV == 4) {
  my ($trace, $scenario, $console, $capture) = @ARGV;
  my @captured = capture_causes($capture);
  my $index = 0;
  for my $causes (notebook_causes($trace, $scenario, $console)) {
    my $captured = $captured[$index++] // "";
    # Where the trace allows more than one cause, the capture's stands if it is one of them.
    print((grep { $_ eq $captured } @$causes) ? "$captured\n" : join(" or ", @$causes) . "\n");
  }
} else {
  die "usage: radio_offs.pl capture CAPTURE_TRACE | radio_offs.pl notebook SIM_TRACE SCENARIO CONSOLE CAPTURE_TRACE\n";
}
