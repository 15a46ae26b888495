-- Upgrade from version 5 to version 6: an index on activity_Log by (Note, ProjectID, ModifyDate),
-- so that Recent Updates reads the saves of the user's projects without reading the far more
-- numerous notices. Run by scripts/setup-db.sh --upgrade inside the database.
--
-- The index is added only when it is still missing, so a run that stopped half-way is simply
-- run again. Adding an index changes no row. The version row is written last.

DELIMITER //

BEGIN NOT ATOMIC
  IF NOT EXISTS (SELECT 1 FROM information_schema.statistics WHERE table_schema = DATABASE()
                 AND lower(table_name) = 'activity_log' AND index_name = 'NoteProjectDate') THEN
    ALTER TABLE activity_Log ADD KEY NoteProjectDate (Note, ProjectID, ModifyDate);
  END IF;
END //

DELIMITER ;

START TRANSACTION;
INSERT INTO schema_version (VersionID, Version) VALUES (1, 6) ON DUPLICATE KEY UPDATE Version = 6;
COMMIT;
