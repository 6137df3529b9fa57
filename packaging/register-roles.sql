-- The two roles of a shared pager register on PostgreSQL.
--
-- Run it with psql in the register's database, as the role that owns the
-- register's tables (the administrator whose first q5prog-cli command
-- created them), after that first command:
--   psql "postgresql://workshop/q5" -f register-roles.sql
-- It may be run again (after an update of q5prog, for instance); it only adds.
--
-- q5_operators      read everything, record events, reserve addresses and
--                   serial numbers, take and release their pagers' holdings.
-- q5_administrators all of that, and manage pools and reassign or release
--                   an address another pager holds.
-- People log in as roles of their own that are members of one of these:
--   CREATE ROLE ann LOGIN IN ROLE q5_operators;     -- then \password ann
--   CREATE ROLE bob LOGIN IN ROLE q5_administrators;

DO $$
BEGIN
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'q5_operators') THEN
    CREATE ROLE q5_operators NOLOGIN;
  END IF;
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'q5_administrators') THEN
    CREATE ROLE q5_administrators NOLOGIN;
  END IF;
  -- The tables live in the first schema of the search path.
  EXECUTE format('GRANT USAGE ON SCHEMA %I TO q5_operators, q5_administrators', current_schema());
END
$$;

GRANT q5_operators TO q5_administrators;

GRANT SELECT ON q5_schema, q5_pools, q5_events, q5_event_addresses, q5_pagers, q5_pager_addresses, q5_holdings,
  q5_reservations, q5_reserved_addresses, q5_reserved_serials, q5_reassignments TO q5_operators;
GRANT INSERT ON q5_events, q5_event_addresses TO q5_operators;
GRANT INSERT, UPDATE, DELETE ON q5_pagers, q5_pager_addresses, q5_holdings, q5_reservations, q5_reserved_addresses,
  q5_reserved_serials TO q5_operators;
GRANT USAGE ON SEQUENCE q5_events_id_seq, q5_reservations_id_seq TO q5_operators;

-- Pools, and the record of every address moved on purpose (write --reassign,
-- the window's "Release address...").
GRANT INSERT, DELETE ON q5_pools TO q5_administrators;
GRANT INSERT ON q5_reassignments TO q5_administrators;
GRANT USAGE ON SEQUENCE q5_reassignments_id_seq TO q5_administrators;
